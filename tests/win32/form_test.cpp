// The window layer's answer to a move onto a monitor of another DPI: the table is laid out
// again at the new DPI, and a move back gives the designed layout back exactly. And a
// key-capture box on the form, which keeps the input method out while it has the focus. And
// the list's rows brought up to a list of items as a refresh leaves it.
#include "hotkeys/HotKeyEdit_win.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <commctrl.h>
#include <imm.h>

#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>

namespace {

using namespace tw::ui;

const FontSpec kFonts[] = {{L"MS Sans Serif", -11}};
const ControlSpec kLayout[] = {
    {1, "Panel", Kind::Panel, 0, 0, 0, 223, 59, nullptr, nullptr},
    {2, "Box", Kind::CheckBox, 1, 4, 21, 101, 17, L"隐藏桌面图标", nullptr},
    {3, "List", Kind::ListView, 0, 0, 59, 223, 300, nullptr, nullptr},
    {4, "Tabs", Kind::Tabs, 0, 0, 200, 223, 150, nullptr, nullptr},
    {5, "PageA", Kind::Page, 4, 0, 0, 0, 0, L"A", nullptr, 0, Covered},
    {6, "ListA", Kind::ListBox, 5, 0, 0, 0, 0, nullptr, nullptr, 0, FillParent},
    {7, "PageB", Kind::Page, 4, 0, 0, 0, 0, L"B", nullptr, 0, Covered | Later},
    {8, "LabelB", Kind::Label, 7, 4, 4, 100, 14, L"b", nullptr},
    {9, "HiddenB", Kind::Label, 7, 4, 24, 100, 14, L"b2", nullptr, 0, Hidden},
};
const ColumnSpec kColumns[] = {{3, L"选择", 40}, {3, L"窗口名称", 350}};

class TestForm : public Form {
public:
    void Create()
    {
        RegisterWindowClass(L"TwFormTest", nullptr, nullptr);
        ASSERT_TRUE(CreateHwnd(L"TwFormTest", 0, WS_POPUP | WS_CAPTION, L"", 10, 10, 100, 100, nullptr));
        FitToDpi(223, 359, true, Anchor::TopLeft);
        BuildControls(kLayout, kFonts, kColumns);
    }
    using Form::BuildLater;
    using Form::ShowControl;
    // As a click on the tab does.
    void SwitchTo(int page)
    {
        SendMessageW(Control(4), TCM_SETCURSEL, page, 0);
        NMHDR hdr{Control(4), 4, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(hwnd_, WM_NOTIFY, 4, reinterpret_cast<LPARAM>(&hdr));
    }
};

SIZE ClientSize(HWND h)
{
    RECT rc{};
    GetClientRect(h, &rc);
    return SIZE{rc.right, rc.bottom};
}

// What a user sees of the form: its client size, the check box's place, its text height
// and the list's column widths.
struct Seen {
    SIZE client;
    RECT box;
    LONG fontHeight;
    int columns[2];
    bool operator==(const Seen& o) const
    {
        return client.cx == o.client.cx && client.cy == o.client.cy && EqualRect(&box, &o.box) &&
               fontHeight == o.fontHeight && columns[0] == o.columns[0] && columns[1] == o.columns[1];
    }
};

Seen Look(const Form& form)
{
    Seen seen{ClientSize(form.Handle()), {}, 0, {}};
    HWND box = form.Control(2);
    GetWindowRect(box, &seen.box);
    MapWindowPoints(nullptr, GetParent(box), reinterpret_cast<POINT*>(&seen.box), 2);
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    seen.fontHeight = lf.lfHeight;
    for (int i = 0; i < 2; ++i)
        seen.columns[i] = static_cast<int>(SendMessageW(form.Control(3), LVM_GETCOLUMNWIDTH, i, 0));
    return seen;
}

void MoveToDpi(const Form& form, UINT dpi)
{
    RECT window{};
    GetWindowRect(form.Handle(), &window);
    const int scale = static_cast<int>(dpi) * 100 / static_cast<int>(form.Dpi());
    RECT suggested{window.left, window.top, window.left + (window.right - window.left) * scale / 100,
                   window.top + (window.bottom - window.top) * scale / 100};
    SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST(FormDpi, AMoveToAnotherDpiLaysTheTableOutAgainAndAMoveBackRestoresIt)
{
    TestForm form;
    ASSERT_NO_FATAL_FAILURE(form.Create());
    if (form.Dpi() != 96)
        GTEST_SKIP() << "the prefix is at " << form.Dpi() << " DPI";
    const Seen at96 = Look(form);
    EXPECT_EQ(at96.client.cx, 223);
    EXPECT_EQ(at96.client.cy, 359);
    EXPECT_EQ(at96.fontHeight, -11);

    MoveToDpi(form, 144);
    const Seen at144 = Look(form);
    EXPECT_EQ(form.Dpi(), 144u);
    EXPECT_EQ(at144.client.cx, 335);   // 334.5 and 538.5: halves round up
    EXPECT_EQ(at144.client.cy, 539);
    EXPECT_EQ(at144.box.left, 6);
    EXPECT_EQ(at144.box.top, 32);      // 31.5
    EXPECT_EQ(at144.box.right, 158);   // 157.5
    EXPECT_EQ(at144.box.bottom, 57);   // 57
    EXPECT_EQ(at144.fontHeight, -17);  // -16.5
    EXPECT_EQ(at144.columns[0], 60);
    EXPECT_EQ(at144.columns[1], 525);

    MoveToDpi(form, 96);
    EXPECT_TRUE(Look(form) == at96) << "a move back did not give the designed layout back";
}

// A page's controls lie over the page control and show and hide with their page, built with
// the form or later; one shown or hidden while its page is not up takes that state when the
// page comes, and keeps what it was given while its page was up.
TEST(FormPages, ControlsFollowTheirPageAndKeepTheirOwnState)
{
    TestForm form;
    ASSERT_NO_FATAL_FAILURE(form.Create());
    ShowWindow(form.Handle(), SW_SHOW);
    HWND listA = form.Control(6);
    ASSERT_TRUE(listA);
    EXPECT_EQ(form.Control(8), nullptr) << "a row marked Later was built with the form";
    const auto above = [](HWND upper, HWND lower) {
        for (HWND h = GetWindow(upper, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
            if (h == lower)
                return true;
        return false;
    };
    EXPECT_TRUE(above(listA, form.Control(4))) << "the page control lies over its page";

    form.BuildLater();
    HWND labelB = form.Control(8);
    HWND hiddenB = form.Control(9);
    ASSERT_TRUE(labelB && hiddenB);
    EXPECT_TRUE(above(labelB, form.Control(4))) << "the page control lies over a page built later";
    EXPECT_TRUE(IsWindowVisible(listA));
    EXPECT_FALSE(IsWindowVisible(labelB)) << "a control of a page not up shows";
    form.ShowControl(9, true);
    EXPECT_FALSE(IsWindowVisible(hiddenB)) << "shown while its page is not up, it showed over the page that is";

    form.SwitchTo(1);
    EXPECT_FALSE(IsWindowVisible(listA));
    EXPECT_TRUE(IsWindowVisible(labelB));
    EXPECT_TRUE(IsWindowVisible(hiddenB));
    ShowWindow(labelB, SW_HIDE);   // as the program hides a control of the page that is up
    form.SwitchTo(0);
    EXPECT_TRUE(IsWindowVisible(listA));
    EXPECT_FALSE(IsWindowVisible(hiddenB));
    form.SwitchTo(1);
    EXPECT_FALSE(IsWindowVisible(labelB)) << "a control hidden on its page came back with the page";
    EXPECT_TRUE(IsWindowVisible(hiddenB));
}

// An input method in its composing mode (Chinese, say) hands keys to the window that holds
// its context as VK_PROCESSKEY, and the box would read Shift+A as no key at all. The box
// holds no context while it has the focus, and the edit has its own back once it loses it.
TEST(HotKeyEditInput, TheInputMethodIsDetachedOnlyWhileTheBoxHasTheFocus)
{
    TestForm form;
    form.Create();
    ShowWindow(form.Handle(), SW_SHOW);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 4, 80, 120, 20, form.Handle(), nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(edit);
    const std::unique_ptr<tw::THotKeyBox> box = AttachHotKeyBox(edit);
    const auto holdsContext = [&] {
        HIMC context = ImmGetContext(edit);
        ImmReleaseContext(edit, context);
        return context != nullptr;
    };
    if (!holdsContext())
        GTEST_SKIP() << "no input-method context for windows here";

    SetFocus(edit);
    ASSERT_EQ(GetFocus(), edit);
    EXPECT_FALSE(holdsContext()) << "the input method stays attached to the focused box";
    SetFocus(form.Control(2));
    ASSERT_NE(GetFocus(), edit);
    EXPECT_TRUE(holdsContext()) << "the edit did not get its input method back";
}

// A refresh that finds the windows in another order (a title changed, so the sort moved it),
// some gone and some new: every row names its item (a click acts on the item it shows) and
// shows its text and tick, whether the row stayed, moved or came; a tick the user gave a row
// without the item hearing of it reverts. A list view that lost rows is filled anew.
TEST(ListRows, RowsFollowTheItemsThroughMovesArrivalsAndDepartures)
{
    TestForm form;
    ASSERT_NO_FATAL_FAILURE(form.Create());
    HWND lv = form.Control(3);
    struct Item {
        std::wstring name;
        bool ticked;
    };
    struct Row {
        const Item* item;
        std::wstring name;
    };
    // As the program's lists hand out their items.
    struct List {
        std::vector<Item*> items;
        int Count() const { return static_cast<int>(items.size()); }
        Item& Items(int i) { return *items[static_cast<std::size_t>(i)]; }
    };
    std::vector<Row> rows;
    Item a{L"a", false}, b{L"b", true}, c{L"c", false}, d{L"d", true}, e{L"e", false};
    const auto show = [&](std::vector<Item*> items) {
        List list{items};
        LvShowRows(lv, rows, list, [&](int i, Row& row, const Item& item) {
            if (row.name != item.name) {
                LvSetSubItemText(lv, i, 1, item.name);
                row.name = item.name;
            }
            if (LvGetChecked(lv, i) != item.ticked)
                LvSetChecked(lv, i, item.ticked);
        });
        ASSERT_EQ(LvGetItemCount(lv), static_cast<int>(items.size()));
        ASSERT_EQ(rows.size(), items.size());
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            const Item* item = items[static_cast<std::size_t>(i)];
            EXPECT_EQ(LvGetData(lv, i), reinterpret_cast<LPARAM>(item)) << "row " << i;
            EXPECT_EQ(LvGetSubItemText(lv, i, 1), item->name) << "row " << i;
            EXPECT_EQ(LvGetChecked(lv, i), item->ticked) << "row " << i;
            EXPECT_EQ(rows[static_cast<std::size_t>(i)].item, item) << "row " << i;
        }
    };
    show({&a, &b, &c, &d});
    show({&d, &a, &c, &e});   // d up, b gone, e new at the end
    LvSetChecked(lv, 1, true);
    a.name = L"z";
    show({&d, &c, &e, &a});   // a renamed and down; its space-bar tick reverts
    c.ticked = true;
    show({&b, &c});           // b back at the top, c ticked, the rest gone
    LvDeleteRow(lv, 0);
    show({&b, &c, &a});       // a list view that lost a row
    show({});
}

} // namespace
