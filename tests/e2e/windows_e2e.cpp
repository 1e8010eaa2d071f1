// tw-e2e: CODEPAGES 936 1252 TIMEOUT 240
// The Windows page as its user meets it: other programs' windows listed in the byte order of
// their titles, ticked with the mouse or the space bar, hidden and restored with the tool
// buttons, and given back when the program closes, when the session ends, when it dies of
// a fault, and after it was killed. Run under code page 936, as the program's users have it,
// and under 1252, so that nothing depends on the locale.
#include "Hints.h"
#include "StandInShell.h"
#include "Tabs.h"
#include "WindowsTable.h"

#include "app/ControlIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tw::e2e;
namespace ids = tw::ids;

// Titles a user of the code page meets, chosen so that the order of their ANSI bytes differs
// from the order of their UTF-16 code points (微 U+5FAE sorts last in GBK) and from a
// locale's order (upper case before lower case).
struct Cast {
    const wchar_t* first;       // first of the non-ASCII titles; its window closes during the test
    const wchar_t* ticked;      // ticked with the mouse, hidden and restored with the buttons
    const wchar_t* selfHidden;  // listed, then hidden by its own program
    const wchar_t* late;        // opened after the program started; sorts between the two above
    const wchar_t* tray;        // hidden from the start, as a program in the tray keeps its window
    // Characters the code page cannot hold: shown exactly, sorted by their '?'s (before "A").
    const wchar_t* foreign;
};
const Cast kChinese{L"画图", L"记事本 - 报告.txt", L"微信", L"计算器", L"托盘程序", L"한글 \U0001F600"};
const Cast kWestern{L"Äpfel", L"Éclair", L"über", L"Ça va", L"Tray app", L"中文 标题"};

bool BytesBefore(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

// The titles as the program holds them (ANSI) are in ascending byte order.
bool InByteOrder(const std::vector<std::wstring>& captions)
{
    for (size_t i = 1; i < captions.size(); ++i)
        if (BytesBefore(WideToAnsi(captions[i]), WideToAnsi(captions[i - 1])))
            return false;
    return true;
}

// The system's DPI as a user at 150 % has it, for the programs started while this lives.
// Wine takes it from this value when a program starts; the value is put back at once so
// that every later start in the shared prefix is at 96 DPI again.
class Dpi144 {
public:
    Dpi144()
    {
        DWORD size = sizeof(old_);
        had_ = RegGetValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old_, &size) ==
               ERROR_SUCCESS;
        const DWORD dpi = 144;
        set_ = RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)) == ERROR_SUCCESS;
    }
    ~Dpi144()
    {
        if (had_)
            RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &old_, sizeof(old_));
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels");
    }
    Dpi144(const Dpi144&) = delete;
    Dpi144& operator=(const Dpi144&) = delete;
    bool Set() const { return set_; }

private:
    static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
    DWORD old_ = 0;
    bool had_ = false;
    bool set_ = false;
};

class WindowsPage : public WindowsTableTest {
protected:
    const Cast& cast = GetACP() == 936 ? kChinese : kWestern;

    HWND Make(std::wstring_view title, tw::e2e::target::Command how = tw::e2e::target::kCreateShown)
    {
        return targets.Create(title, how);
    }

    std::vector<std::wstring> Captions() const { return Rows().Column(2); }

    // The titles of `ours` in the order the table shows them (other windows left out).
    std::vector<std::wstring> InTable(const std::vector<std::wstring>& ours) const
    {
        std::vector<std::wstring> out;
        for (const std::wstring& caption : Captions())
            if (std::find(ours.begin(), ours.end(), caption) != ours.end())
                out.push_back(caption);
        return out;
    }

    bool Press(int button) const { return ClickWindow(Control(button)); }
    // Presses the hide button; true once every one of `windows` is hidden.
    bool HideWithButton(const std::vector<HWND>& windows) const
    {
        return Press(ids::BtnHideWindows) &&
               WaitUntil([&] { return std::none_of(windows.begin(), windows.end(), IsVisible); });
    }
    // Ticks each window by its title and hides them with the button.
    bool TickAndHide(std::initializer_list<std::pair<std::wstring_view, HWND>> windows) const
    {
        std::vector<HWND> handles;
        for (const auto& [title, window] : windows) {
            if (!TickWithMouse(title))
                return false;
            handles.push_back(window);
        }
        return HideWithButton(handles);
    }

    // Clicks the refresh button and waits until the table has been rebuilt. A rebuilt table has
    // no selected row, so one is selected first with a click on its caption (which ticks nothing).
    void Refresh() const
    {
        ASSERT_GT(Rows().RowCount(), 0);
        ASSERT_TRUE(ClickCaption(0));
        // Row 0 itself: another row may be selected already, and a click still on its way
        // would select again after the rebuild.
        ASSERT_TRUE(WaitUntil([&] { return Rows().Selected(0); }));
        ASSERT_TRUE(Press(ids::BtnRefreshList));
        ASSERT_TRUE(WaitUntil([&] { return Rows().SelectedCount() == 0; })) << "the table was not rebuilt";
    }

    // Picks item `item` (from 1) of a row's menu, opened on its caption.
    bool ChooseFromRowMenu(std::wstring_view title, int item) const
    {
        const std::optional<POINT> at = InRow(RowOf(title), kCaptionX);
        return at && app.ChooseFromContextMenu(*at, item);
    }

    // Hides a ticked window, has `fault` end the program, and checks what came back.
    void ExpectAFaultGivesTheHiddenWindowsBack(const std::function<void()>& fault);

    std::wstring HintOf(int control) const
    {
        // Resting the pointer on the page area first: no tool there, so any tip goes away.
        return HoverHint(Control(control), Center(Control(ids::PageControl1)));
    }
};

TEST_F(WindowsPage, ListsTicksHidesRestoresAndGivesEverythingBackAtClose)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND apple = Make(L"apple");
    HWND minimised = Make(L"Apple", tw::e2e::target::kCreateMinimized);
    HWND zebra = Make(L"Zebra");
    HWND stranger = Make(L"Tarnwick");   // someone else's window with our program's title
    HWND first = Make(cast.first);
    HWND ticked = Make(cast.ticked);
    HWND selfHidden = Make(cast.selfHidden);
    HWND untitled = Make(L"");
    HWND tray = Make(cast.tray, tw::e2e::target::kCreateHidden);
    HWND foreign = Make(cast.foreign);
    ASSERT_TRUE(apple && minimised && zebra && stranger && first && ticked && selfHidden && untitled && tray && foreign);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const std::vector<std::wstring> ours{cast.foreign, L"Apple", L"Tarnwick", L"Zebra", L"apple", cast.first,
                                         cast.late, cast.ticked, cast.selfHidden, cast.tray};

    // First fill: titled windows (the minimised one too), in byte order; not the untitled
    // one, not the one already hidden, not the program's own main window.
    EXPECT_EQ(InTable(ours), (std::vector<std::wstring>{cast.foreign, L"Apple", L"Tarnwick", L"Zebra", L"apple",
                                                        cast.first, cast.ticked, cast.selfHidden}));
    const std::vector<std::wstring> captions = Captions();
    EXPECT_TRUE(InByteOrder(captions));
    EXPECT_EQ(std::count(captions.begin(), captions.end(), L"Tarnwick"), 1)
        << "two rows: the main window is listed; none: a window was left out for its title";
    EXPECT_EQ(std::count(captions.begin(), captions.end(), L""), 0) << "an untitled window is listed";
    for (int row = 0; row < Rows().RowCount(); ++row) {
        EXPECT_FALSE(Rows().Checked(row)) << "row " << row;
        EXPECT_EQ(Rows().Text(row, 1), L"") << "no window has a boss key yet";
    }

    // Tick with the mouse, hide: minimised, then hidden; the row stays, ticked, across a refresh.
    ASSERT_TRUE(TickAndHide({{cast.ticked, ticked}})) << "the ticked window was not hidden";
    EXPECT_TRUE(IsMinimized(ticked)) << "hidden without being minimised first";
    EXPECT_TRUE(IsVisible(zebra) && IsVisible(first) && IsVisible(apple)) << "an unticked window was hidden";
    ASSERT_NO_FATAL_FAILURE(Refresh());
    EXPECT_TRUE(Checked(cast.ticked)) << "the hidden window's row lost its tick or went";

    // Restore brings it back whole; hide it again for the close to give back.
    ASSERT_TRUE(Press(ids::BtnShowWindows));
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(ticked); })) << "restore did not show the window";
    EXPECT_FALSE(IsMinimized(ticked));
    ASSERT_TRUE(HideWithButton({ticked}));

    // Meanwhile a listed window's own program hides it, and a new window opens; the new one
    // shows only after a refresh, merged into the order.
    ShowWindow(selfHidden, SW_HIDE);
    HWND late = Make(cast.late);
    ASSERT_TRUE(late);
    EXPECT_EQ(RowOf(cast.late), -1) << "the table changed without a refresh";
    ASSERT_TRUE(TargetWindows::SettleZOrder());
    ASSERT_NO_FATAL_FAILURE(Refresh());
    EXPECT_EQ(InTable(ours), (std::vector<std::wstring>{cast.foreign, L"Apple", L"Tarnwick", L"Zebra", L"apple",
                                                        cast.first, cast.late, cast.ticked, cast.selfHidden}));
    EXPECT_TRUE(InByteOrder(Captions()));

    // A ticked window closes before the next refresh: hiding passes it by, and the program
    // lives on; the refresh then drops its row.
    ASSERT_TRUE(TickWithMouse(cast.first));
    ASSERT_TRUE(TargetWindows::Destroy(first));
    ASSERT_TRUE(Press(ids::BtnHideWindows));
    ASSERT_NO_FATAL_FAILURE(Refresh());
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(RowOf(cast.first), -1) << "a closed window is still listed after a refresh";
    EXPECT_FALSE(IsVisible(ticked));

    // The space bar ticks a row as a click on its box does, tick stored; a click on the
    // caption column or exactly on the edge of the check-box column changes nothing. The
    // buttons go by what the table shows, the next refresh by what was stored.
    HWND editor = Control(ids::edtBossKey);
    const int appleRow = RowOf(L"apple");
    ASSERT_TRUE(ClickCaption(appleRow));
    ASSERT_TRUE(WaitUntil([&] { return Rows().Selected(appleRow); }));
    EXPECT_FALSE(Rows().Checked(appleRow)) << "a click on the caption ticked the row";
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return Rows().Checked(appleRow); })) << "the space bar did not tick the row";
    const int zebraRowBefore = RowOf(L"Zebra");
    // Exactly on the edge: the row is recorded and nothing else happens; above all, the
    // boss-key editor stays shut. The click is checked by its effect first (the row it
    // selects), and the editor looked at before anything else could take its focus away.
    ASSERT_TRUE(ClickCaption(zebraRowBefore));
    ASSERT_TRUE(WaitUntil([&] { return Rows().Selected(zebraRowBefore); }));
    ASSERT_TRUE(ClickRowAt(appleRow, Rows().ColumnWidth(0)));
    ASSERT_TRUE(WaitUntil([&] { return Rows().Selected(appleRow); })) << "the click on the column edge missed its row";
    EXPECT_TRUE(HoldsFor([&] { return !IsVisible(editor); }, Ms(300)))
        << "a click on the column edge opened the boss-key editor";
    EXPECT_TRUE(Rows().Checked(appleRow)) << "a click on the column edge changed the tick";
    ASSERT_TRUE(HideWithButton({apple})) << "a row ticked from the keyboard was not hidden";
    // Just inside the check-box column, off the box: the row's mark is stored.
    const int zebraRow = RowOf(L"Zebra");
    ASSERT_TRUE(ClickCaption(zebraRow));
    ASSERT_TRUE(WaitUntil([&] { return Rows().Selected(zebraRow); }));
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return Rows().Checked(zebraRow); }));
    ASSERT_TRUE(ClickRowAt(zebraRow, Rows().ColumnWidth(0) - 1));
    ASSERT_NO_FATAL_FAILURE(Refresh());
    EXPECT_TRUE(Checked(L"apple")) << "a tick from the keyboard was not stored, or a click took it away";
    EXPECT_NE(RowOf(L"apple"), -1);
    EXPECT_TRUE(Checked(L"Zebra")) << "a click in the check-box column did not store the mark";
    EXPECT_TRUE(Checked(cast.ticked));

    // A double-click on a ticked box: Windows' list view toggles it on both presses, Wine's on
    // the first only. So the space bar stands in for the toggle of the second press, which is
    // then posted: the mark stored must be the one the box ends with.
    const int zebraAt = RowOf(L"Zebra");
    std::optional<POINT> zebraBox = Rows().CheckBoxPoint(zebraAt);
    ASSERT_TRUE(zebraBox && ClickCaption(zebraAt) && WaitUntil([&] { return Rows().Selected(zebraAt); }));
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return !Rows().Checked(zebraAt); }));
    ScreenToClient(lv, &*zebraBox);
    PostMessageW(lv, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(zebraBox->x, zebraBox->y));
    ASSERT_NO_FATAL_FAILURE(Refresh());
    EXPECT_FALSE(Checked(L"Zebra")) << "the stored mark and the box disagree after a double-click";

    // A click on a boss-key cell lays the editor over that cell and gives it the focus.
    const int bossRow = RowOf(cast.late);
    const std::optional<RECT> cell = Rows().CellRect(bossRow, 1);
    ASSERT_TRUE(cell);
    ASSERT_TRUE(ClickRowAt(bossRow, Rows().ColumnWidth(0) + 10));
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(editor); })) << "the boss-key editor did not open";
    const RECT at = ScreenRect(editor);
    EXPECT_EQ(at.left, cell->left);
    EXPECT_EQ(at.top, cell->top);
    EXPECT_EQ(at.right - at.left, Rows().ColumnWidth(1));
    EXPECT_EQ(at.bottom - at.top, 21);
    EXPECT_EQ(FocusOf(main), editor);
    EXPECT_EQ(Text(editor), L"");

    // Alt+F4 closes: every window the program hid comes back, but not the one its own program
    // hid while listed; the minimised window stays minimised, the tray window hidden.
    ASSERT_TRUE(ClickCaption(0));
    ASSERT_TRUE(BringToForeground(main));
    PressKey(VK_F4, kAlt);
    ASSERT_TRUE(app.WaitExit()) << "Alt+F4 did not close the program";
    EXPECT_EQ(app.ExitCode(), 0u);
    // The restores are queued to the windows' own threads, which carry them out even though
    // the program has ended.
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(ticked) && IsVisible(apple); }));
    EXPECT_FALSE(IsMinimized(ticked));
    // A round trip to its thread: whatever the close queued there has been carried out.
    SendTimed(selfHidden, WM_NULL);
    EXPECT_FALSE(IsVisible(selfHidden)) << "the close showed a window its own program had hidden";
    EXPECT_TRUE(IsVisible(minimised));
    EXPECT_TRUE(IsMinimized(minimised)) << "the close restored a minimised window";
    EXPECT_FALSE(IsVisible(tray)) << "a window never listed was shown";
    EXPECT_TRUE(IsVisible(zebra) && IsVisible(late) && IsVisible(stranger));
}

// The window as designed at 96 DPI; at 150 % (`scale` 3/2) half as large again, each half
// pixel rounded up, with its text larger and nothing cut off.
void ExpectLaidOutAt(HWND main, const RemoteListView& rows, int scale2, int labelWidthAt96 = 0)
{
    auto scaled = [scale2](int length) { return (length * scale2 + 1) / 2; };
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, scaled(223));
    EXPECT_EQ(client.bottom, scaled(359));
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const POINT middle = Center(ScreenRect(main));
    EXPECT_NEAR(middle.x, (work.left + work.right) / 2, 1);
    EXPECT_NEAR(middle.y, (work.top + work.bottom) / 2, 1);
    EXPECT_EQ(rows.ColumnWidth(0), scaled(40));
    EXPECT_EQ(rows.ColumnWidth(1), scaled(50));
    EXPECT_EQ(rows.ColumnWidth(2), scaled(350));
    EXPECT_EQ(ScreenRect(ControlById(main, ids::BtnHideWindows)).right - ScreenRect(ControlById(main, ids::BtnHideWindows)).left,
              scaled(26 + 21) - scaled(26));
    // The hot-key label fits its caption: it grew with its font and still lies in its panel,
    // which the window draws across its whole width.
    POINT panelRight{client.right, 0};
    ClientToScreen(main, &panelRight);
    const RECT label = ScreenRect(ControlById(main, ids::Label2));
    EXPECT_LE(label.right, panelRight.x);
    if (labelWidthAt96) {
        EXPECT_GT(label.right - label.left, labelWidthAt96 * 4 / 3) << "the text kept its 96-DPI size";
    }
}

TEST_F(WindowsPage, StartsOnTheWindowsPageAndPageSwitchingChangesHintAndButtons)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(Text(main), kMainWindowTitle);
    ExpectLaidOutAt(main, Rows(), 2);
    const RECT label = ScreenRect(Control(ids::Label2));

    HWND tabs = Control(ids::PageControl1);
    ASSERT_EQ(TabCount(tabs), 3);
    EXPECT_EQ(TabText(tabs, 0), L"窗口");
    EXPECT_EQ(TabText(tabs, 1), L"托盘");
    EXPECT_EQ(TabText(tabs, 2), L"文件");
    EXPECT_EQ(ActiveTab(tabs), 0);

    HWND hide = Control(ids::BtnHideWindows);
    HWND show = Control(ids::BtnShowWindows);
    EXPECT_TRUE(IsVisible(hide) && IsVisible(show) && IsVisible(lv));
    EXPECT_EQ(HintOf(ids::BtnRefreshList), L"刷新窗口列表");
    EXPECT_EQ(HintOf(ids::BtnHideWindows), L"隐藏选中窗体");
    EXPECT_EQ(HintOf(ids::BtnShowWindows), L"还原选中窗体");

    struct Page {
        int index;
        const wchar_t* hint;
        bool windowButtons;
        int list;
    };
    // Without a shell of our own the tray page says it cannot read Wine's bare taskbar.
    for (const Page& page : {Page{1, L"刷新托盘列表", false, ids::lblTrayUnreadable}, Page{2, L"选择文件", false, ids::lstFiles},
                             Page{0, L"刷新窗口列表", true, ids::lstWindowName}}) {
        SCOPED_TRACE(page.index);
        ASSERT_TRUE(ClickTab(tabs, page.index));
        EXPECT_TRUE(WaitUntil([&] { return IsVisible(Control(page.list)); })) << "the page did not come up";
        EXPECT_EQ(IsVisible(hide), page.windowButtons);
        EXPECT_EQ(IsVisible(show), page.windowButtons);
        EXPECT_EQ(HintOf(ids::BtnRefreshList), page.hint);
    }
    EXPECT_TRUE(app.Close());

    {
        Dpi144 dpi;
        ASSERT_TRUE(dpi.Set());
        ASSERT_NO_FATAL_FAILURE(StartProgram());
    }
    ExpectLaidOutAt(main, Rows(), 3, label.right - label.left);
    EXPECT_TRUE(app.Close());
}

// A program that has stopped reading its messages holds nothing up: the hot keys and the close
// go on with the other windows. Its own window only does as asked once its thread runs again.
// A program that hides its window again whenever it is shown keeps it: the user is told, the
// window stays ticked, and the record keeps it for the next attempt.
TEST_F(WindowsPage, AHungWindowHoldsUpNeitherTheHotKeysNorTheClose)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND hung = Make(L"A hung program", tw::e2e::target::kCreateHung);   // sorts first: met first
    HWND zebra = Make(L"Zebra");
    HWND stubborn = Make(L"Stubborn", tw::e2e::target::kCreateStubborn);
    ASSERT_TRUE(hung && zebra && stubborn);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(TickWithMouse(L"A hung program"));
    ASSERT_TRUE(TickWithMouse(L"Zebra"));
    ASSERT_TRUE(TickWithMouse(L"Stubborn"));

    PressKey('H', kAlt);
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(zebra) && !IsVisible(stubborn); }))
        << "Alt+H stopped at the hung window";
    PressKey('R', kAlt);
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(zebra); })) << "Alt+R stopped at the hung window";
    HWND told = app.WaitForWindow(L"#32770", L"Tarnwick", Ms(15000));
    ASSERT_TRUE(told) << "a restore that did not take was not reported";
    EXPECT_EQ(MessageText(told), L"无法还原该窗口");
    PostMessageW(told, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(told); }));
    EXPECT_TRUE(Checked(L"Stubborn"));
    EXPECT_FALSE(IsVisible(stubborn));
    PressKey('H', kAlt);
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(zebra); }));
    EXPECT_TRUE(IsVisible(hung)) << "a thread that reads no messages carried out a request";

    ASSERT_TRUE(app.Close()) << "the close waited on the hung window";
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(zebra) && !IsMinimized(zebra); }));
    // Still hidden, so still owed: on disk for the next start or "/restore".
    std::ifstream record(std::filesystem::path(app.FileInFolder(L"Hidden.dat")));
    std::string text((std::istreambuf_iterator<char>(record)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("W " + std::to_string(reinterpret_cast<UINT_PTR>(stubborn)) + " "), std::string::npos)
        << text;
}

// Logging off or shutting down runs the close sequence: the user gets the hidden windows back.
TEST_F(WindowsPage, EndingTheSessionGivesTheHiddenWindowsBack)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND a = Make(cast.ticked);
    HWND b = Make(L"Zebra");
    ASSERT_TRUE(a && b);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(TickAndHide({{cast.ticked, a}, {L"Zebra", b}}));

    LRESULT answer = 0;
    ASSERT_TRUE(SendTimed(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, answer));
    EXPECT_EQ(answer, TRUE) << "the program held up the log-off";
    ASSERT_TRUE(SendTimed(main, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, answer));
    EXPECT_FALSE(IsVisible(a) || IsVisible(b)) << "a cancelled log-off gave the windows back";

    ASSERT_TRUE(SendTimed(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, answer));
    ASSERT_TRUE(SendTimed(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, answer));
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b); }));
    // The system ends the program once WM_ENDSESSION returns.
    app.Kill();
}

// A fault nobody handles ends the program, but not before it gives back what it hid. The faults
// are real and need nothing in the program: a thread started in it at address 1, and the
// window's own thread sent to address 1 while it waits for its next message.
void WindowsPage::ExpectAFaultGivesTheHiddenWindowsBack(const std::function<void()>& fault)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND hidden = Make(cast.ticked);
    HWND left = Make(L"Zebra");
    ASSERT_TRUE(hidden && left);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(TickAndHide({{cast.ticked, hidden}}));

    // Wine now and then lets a suspended thread go on where it was rather than where its new
    // context says (its suspension does not wait for the thread to stop): a program that
    // lives on untouched, still answering and the window still hidden, is sent there again.
    bool ended = false;
    int attempts = 0;
    while (attempts < 8 && !ended) {
        ++attempts;
        ASSERT_NO_FATAL_FAILURE(fault());
        ended = app.WaitExit(Ms(2000));
        LRESULT answer = 0;
        if (!ended && !(SendTimed(main, WM_NULL, 0, 0, answer) && !IsVisible(hidden))) {
            // The fault took: the program is giving back and ending, which a loaded machine
            // (and Wine's report of the crash) may take a while over.
            ended = app.WaitExit(kStartWait);
            break;
        }
    }
    ASSERT_TRUE(ended) << "the fault did not end the program (" << attempts << " attempts)";
    EXPECT_EQ(app.ExitCode(), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(hidden); })) << "the program died and left a window hidden for good";
    EXPECT_FALSE(IsMinimized(hidden));
    EXPECT_TRUE(IsVisible(left));
}

TEST_F(WindowsPage, AnUnhandledFaultGivesTheHiddenWindowsBackBeforeTheProgramEnds)
{
    ExpectAFaultGivesTheHiddenWindowsBack([&] {
        UniqueHandle thread(CreateRemoteThread(app.Proc().Handle(), nullptr, 0,
                                               reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<UINT_PTR>(1)),
                                               nullptr, 0, nullptr));
        ASSERT_TRUE(thread) << "CreateRemoteThread failed: " << GetLastError();
    });
}

TEST_F(WindowsPage, AFaultOnTheWindowsOwnThreadGivesTheHiddenWindowsBackToo)
{
    ExpectAFaultGivesTheHiddenWindowsBack([&] {
        UniqueHandle ui(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE,
                                   GetWindowThreadProcessId(main, nullptr)));
        ASSERT_TRUE(ui) << "OpenThread failed: " << GetLastError();
        ASSERT_NE(SuspendThread(ui.Get()), static_cast<DWORD>(-1));
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        const bool moved = GetThreadContext(ui.Get(), &context) && (context.Eip = 1, SetThreadContext(ui.Get(), &context));
        ResumeThread(ui.Get());
        ASSERT_TRUE(moved) << "the thread's context could not be set: " << GetLastError();
        // Woken by a message, it goes on where it was sent.
        PostMessageW(main, WM_NULL, 0, 0);
    });
}

// Task Manager ends the program without a word. What it hid is on disk: the next start lists
// it again, ticked and still hidden, for the restore button or the close to give back;
// "/restore" gives it back without a window, or has a running copy do it.
TEST_F(WindowsPage, WhatAKilledProgramHidIsFoundAgainAndGivenBack)
{
    StandInShell shell;
    ASSERT_TRUE(shell.Start());
    ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), shell.taskbar);
    ASSERT_TRUE(shell.Add(5, L"QQ"));
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND a = Make(cast.ticked);
    HWND b = Make(L"Zebra");
    HWND left = Make(L"apple");
    HWND selfHidden = Make(L"Gone to its tray");
    ASSERT_TRUE(a && b && left && selfHidden);
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    RemoteListView icons(Control(ids::lstTrayIcons));
    auto tickIcon = [&] {
        ASSERT_TRUE(ClickTab(Control(ids::PageControl1), 1));
        ASSERT_TRUE(WaitUntil([&] { return IsVisible(Control(ids::lstTrayIcons)) && icons.RowCount() == 1; }));
        const std::optional<POINT> box = icons.CheckBoxPoint(0);
        ASSERT_TRUE(box && Click(*box));
        ASSERT_TRUE(shell.WaitHidden(5, true));
        ASSERT_TRUE(ClickTab(Control(ids::PageControl1), 0));
    };
    auto killAndStartAgain = [&] {
        app.Kill();
        ASSERT_FALSE(IsVisible(a) || IsVisible(b)) << "the killed program gave windows back";
        ASSERT_TRUE(shell.Hidden(5));
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        icons = RemoteListView(Control(ids::lstTrayIcons));
    };

    ASSERT_TRUE(TickWithMouse(cast.ticked));
    ASSERT_TRUE(TickWithMouse(L"Zebra"));
    // Ticked too, but its own program hides it before the hide button is pressed: it is
    // not ours, so neither this run nor the next may ever show it.
    ASSERT_TRUE(TickWithMouse(L"Gone to its tray"));
    ShowWindow(selfHidden, SW_HIDE);
    ASSERT_TRUE(HideWithButton({a, b}));
    ASSERT_NO_FATAL_FAILURE(tickIcon());
    ASSERT_NO_FATAL_FAILURE(killAndStartAgain());

    // (a) Listed, ticked and still hidden; the tray row ticked, its icon still hidden. The
    // window answers before the start has read the record, so the adoption is waited for.
    EXPECT_TRUE(WaitUntil([&] { return Checked(cast.ticked); }));
    EXPECT_TRUE(Checked(L"Zebra"));
    EXPECT_FALSE(Checked(L"apple"));
    EXPECT_EQ(RowOf(L"Gone to its tray"), -1) << "a window its own program hid was adopted";
    EXPECT_FALSE(IsVisible(a) || IsVisible(b));
    EXPECT_TRUE(shell.Hidden(5));
    EXPECT_TRUE(WaitUntil([&] { return icons.RowCount() == 1 && icons.Checked(0); }));
    ASSERT_TRUE(Press(ids::BtnShowWindows));
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b); })) << "adopted windows were not restored";

    // (b) "/restore" while a copy runs: the copy gives back what it hid and keeps running;
    // so it does when the copy runs as administrator and its lock shuts the start out.
    for (bool shut : {false, true}) {
        SCOPED_TRACE(shut ? "lock shut to the start" : "lock open");
        ASSERT_TRUE(!shut || ShutInstanceLock());
        ASSERT_TRUE(HideWithButton({a, b}));
        Process asking;
        ASSERT_TRUE(asking.Start(app.Exe(), L"/restore"));
        ASSERT_TRUE(asking.WaitExit());
        EXPECT_EQ(asking.ExitCode(), 0u);
        EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b) && !shell.Hidden(5); }));
        EXPECT_TRUE(app.Running());
        EXPECT_FALSE(icons.Checked(0)) << "the given-back icon's row is still ticked";
    }

    // (c) "/restore" with no copy running: everything comes back and no window opens.
    ASSERT_TRUE(HideWithButton({a, b}));
    ASSERT_NO_FATAL_FAILURE(tickIcon());
    app.Kill();
    Process restore;
    ASSERT_TRUE(restore.Start(app.Exe(), L"/restore"));
    bool sawWindow = false;
    ASSERT_TRUE(WaitUntil([&] {
        sawWindow = sawWindow || !TopLevelWindows(restore.Id(), {}, false).empty();
        return !restore.Running();
    }));
    EXPECT_EQ(restore.ExitCode(), 0u);
    EXPECT_FALSE(sawWindow) << "/restore opened a window";
    // The restores are queued to the windows' own threads.
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b); }));
    EXPECT_FALSE(shell.Hidden(5));
    EXPECT_TRUE(IsVisible(left));

    // (d) The record held open without sharing (a backup tool, say) when the next run
    // starts: that run must not write over it. It hides and gives back a window of its own,
    // closes once the file is free, and "/restore" still finds what the killed run hid.
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(TickAndHide({{cast.ticked, a}, {L"Zebra", b}}));
    app.Kill();
    {
        UniqueHandle held(CreateFileW(app.FileInFolder(L"Hidden.dat").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held.Get());
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        ASSERT_TRUE(TickAndHide({{L"apple", left}}));
    }
    // Its first write after the file is free (the window given back leaves the record).
    ASSERT_TRUE(Press(ids::BtnShowWindows));
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(left); }));
    EXPECT_TRUE(app.Close());
    Process again;
    ASSERT_TRUE(again.Start(app.Exe(), L"/restore"));
    ASSERT_TRUE(again.WaitExit());
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b); })) << "the record was written over";
    EXPECT_FALSE(IsVisible(selfHidden));

    // Everything given back, the record holds nothing: the next start lists nothing ticked.
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_FALSE(Checked(cast.ticked) || Checked(L"Zebra"));
    EXPECT_TRUE(app.Close());
    EXPECT_FALSE(IsVisible(selfHidden)) << "the close showed a window its own program hid";
}

// A script or a macro key runs "Tarnwick.exe /hide" and the like: the running copy does what
// the key or button would, and the exit code says what came of it. Nothing is ever started.
TEST_F(WindowsPage, CommandsFromAScriptDriveTheRunningCopyAndEndWithWhatCameOfIt)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND a = Make(cast.ticked);
    HWND b = Make(L"Zebra");
    HWND front = Make(L"In front");
    ASSERT_TRUE(a && b && front);
    auto command = [&](const wchar_t* args) -> std::optional<DWORD> {
        Process start;
        if (!start.Start(app.Exe(), args) || !start.WaitExit(Ms(10000)))
            return std::nullopt;
        return start.ExitCode();
    };
    auto copies = [] {
        int n = 0;
        for (HWND w = FindWindowExW(nullptr, nullptr, kMainWindowClass, nullptr); w;
             w = FindWindowExW(nullptr, w, kMainWindowClass, nullptr))
            ++n;
        return n;
    };

    // No copy runs: 1 for a command, 3 for an argument nobody knows; neither starts one.
    EXPECT_EQ(command(L"/hide"), 1u);
    EXPECT_EQ(command(L"/hide-everything"), 3u);
    EXPECT_TRUE(HoldsFor([&] { return copies() == 0; }, Ms(300))) << "a command started the program";
    EXPECT_EQ(GetFileAttributesW(app.FileInFolder(L"System.ini").c_str()), INVALID_FILE_ATTRIBUTES)
        << "a command with nothing to command wrote the settings";

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    // The window in front as the copy receives the command, whoever's it is; listed ticked,
    // as the key for it lists it, so that the restore gives it back.
    // Kept in front a moment first: under Wine the activation of the program's own window at
    // its start may still be on its way.
    ASSERT_TRUE(WaitUntil([&] {
        return BringToForeground(front) && HoldsFor([&] { return GetForegroundWindow() == front; }, Ms(300));
    }));
    EXPECT_EQ(command(L"/hide-front"), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(front); })) << "/hide-front left the window in front";
    EXPECT_TRUE(IsVisible(a) && IsVisible(b));

    ASSERT_TRUE(TickWithMouse(cast.ticked));
    ASSERT_TRUE(TickWithMouse(L"Zebra"));
    EXPECT_EQ(command(L"/hide"), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(a) && !IsVisible(b); })) << "/hide hid nothing";
    EXPECT_EQ(command(L"-SHOW"), 0u);
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b) && IsVisible(front); }))
        << "/show gave nothing back";
    EXPECT_EQ(command(L"/toggle"), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(a) && !IsVisible(b); })) << "the first /toggle did not hide";
    EXPECT_EQ(command(L"/toggle"), 0u);
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b); })) << "the second /toggle did not restore";


    // A mistyped command leaves the copy alone and starts no second one.
    EXPECT_EQ(command(L"/hid"), 3u);
    EXPECT_EQ(copies(), 1);

    // Quit closes as the close box does: the copy has ended and given everything back.
    ASSERT_TRUE(HideWithButton({a, b}));
    EXPECT_EQ(command(L"/quit"), 0u);
    EXPECT_TRUE(app.WaitExit()) << "/quit answered but the copy did not end";
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(a) && IsVisible(b) && IsVisible(front); }));
}

TEST_F(WindowsPage, ARememberedProgramIsTickedWholeInThisRunAndTheNextWithItsBossKey)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    // The same program copied under another name is another program.
    TempFolder copies{L"tw-copy"};
    const std::wstring copyExe = copies.File(L"another_program.exe");
    ASSERT_TRUE(CopyFileW(HelperExe(L"target_windows").c_str(), copyExe.c_str(), FALSE));
    TargetWindows another;
    ASSERT_TRUE(another.Start(copyExe));
    HWND first = Make(L"Player one");
    HWND stranger = another.Create(L"Player copy");
    ASSERT_TRUE(first && stranger);
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    // "总是勾选此程序" ticks the row at once; a window the program opens afterwards is listed
    // and hidden by the next Alt+H, with no refresh in between; the copy's is left alone.
    ASSERT_TRUE(ChooseFromRowMenu(L"Player one", 1));
    EXPECT_TRUE(WaitUntil([&] { return Checked(L"Player one"); })) << "remembering did not tick the row";
    EXPECT_FALSE(Checked(L"Player copy"));
    HWND second = Make(L"Player two");
    ASSERT_TRUE(second);
    ASSERT_TRUE(TargetWindows::SettleZOrder());
    // A boss key set on a window of a remembered program goes with the program.
    const int bossRow = RowOf(L"Player one");
    ASSERT_TRUE(ClickRowAt(bossRow, Rows().ColumnWidth(0) + 10));
    HWND editor = Control(ids::edtBossKey);
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(editor); }));
    PressKey('B', kCtrl);
    ASSERT_TRUE(WaitUntil([&] { return Text(editor) == L"Ctrl + B"; }));
    ASSERT_TRUE(ClickCaption(RowOf(L"Player copy")));
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(editor); }));
    ASSERT_TRUE(BringToForeground(main));
    PressKey('H', kAlt);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(first) && !IsVisible(second); }))
        << "Alt+H left a window of the remembered program on screen";
    EXPECT_TRUE(IsVisible(stranger)) << "a copy of the program under another name was hidden";
    EXPECT_TRUE(Checked(L"Player two"));
    ASSERT_TRUE(app.Close());
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(first) && IsVisible(second); }));

    // The next run starts with them ticked, and the program's first window has its boss key.
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_TRUE(Checked(L"Player one") && Checked(L"Player two"));
    EXPECT_FALSE(Checked(L"Player copy"));
    EXPECT_EQ(Rows().Text(RowOf(L"Player one"), 1), L"Ctrl + B");
    PressKey('B', kCtrl);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(first); })) << "the remembered boss key did nothing";
    PressKey('B', kCtrl);
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(first); }));
    EXPECT_TRUE(IsVisible(second));

    // Forgetting leaves this run's ticks; the run after starts with none, and no boss key.
    ASSERT_TRUE(ChooseFromRowMenu(L"Player two", 1));
    EXPECT_TRUE(HoldsFor([&] { return Checked(L"Player two"); }, Ms(300)));
    ASSERT_TRUE(app.Close());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_FALSE(Checked(L"Player one") || Checked(L"Player two"));
    EXPECT_EQ(Rows().Text(RowOf(L"Player one"), 1), L"");

    // A rule by title: the part of a row's title the user keeps ticks every window whose
    // title holds it, in any case and of any program, when it opens later (before Alt+H) and
    // in the next run, until a matching row's menu forgets it.
    ASSERT_TRUE(ChooseFromRowMenu(L"Player copy", 3));
    HWND dialog = app.WaitForWindow(L"TFrmTitleRule");
    ASSERT_TRUE(dialog) << "no dialog for the rule";
    HWND edit = ControlById(dialog, ids::edtTitleRule);
    EXPECT_EQ(Text(edit), L"Player copy");
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == edit; }));
    TypeText(L"COPY");
    ASSERT_TRUE(WaitUntil([&] { return Text(edit) == L"COPY"; }));
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog) || !IsVisible(dialog); }));
    EXPECT_TRUE(WaitUntil([&] { return Checked(L"Player copy"); })) << "the rule did not tick its row";
    EXPECT_FALSE(Checked(L"Player one"));
    HWND later = Make(L"Copy of the notes");
    ASSERT_TRUE(later);
    ASSERT_TRUE(TargetWindows::SettleZOrder());
    ASSERT_TRUE(BringToForeground(main));
    PressKey('H', kAlt);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(later) && !IsVisible(stranger); }))
        << "Alt+H left a window the rule names on screen";
    EXPECT_TRUE(IsVisible(first));
    ASSERT_TRUE(app.Close());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_TRUE(Checked(L"Player copy") && Checked(L"Copy of the notes"));
    EXPECT_FALSE(Checked(L"Player one"));
    ASSERT_TRUE(ChooseFromRowMenu(L"Copy of the notes", 4));   // "标题含“COPY”", under the separator
    ASSERT_TRUE(app.Close());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_FALSE(Checked(L"Player copy") || Checked(L"Copy of the notes")) << "the rule was not forgotten";
    EXPECT_TRUE(app.Close());
}

} // namespace
