// The file picker's tree, header and the Files page's list box, read and driven from the
// test's process as a user sees and uses them. Header-only: the files test, the screenshot
// driver and the benchmark share it.
#pragma once

#include "E2e.h"

#include <commctrl.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace tw::e2e {

class RemoteTree {
    static constexpr size_t kTextOffset = 64;
    static constexpr int kChars = 520;
    static constexpr size_t kBufferSize = kTextOffset + kChars * sizeof(wchar_t);

public:
    explicit RemoteTree(HWND tree) : tree_(tree) {}
    HWND Window() const { return tree_; }

    HTREEITEM Next(HTREEITEM item, UINT how) const
    {
        return reinterpret_cast<HTREEITEM>(SendTimed(tree_, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
    }
    // Children of `parent`, or the top-level items for nullptr.
    std::vector<HTREEITEM> Children(HTREEITEM parent) const
    {
        std::vector<HTREEITEM> out;
        for (HTREEITEM it = parent ? Next(parent, TVGN_CHILD) : Next(nullptr, TVGN_ROOT); it; it = Next(it, TVGN_NEXT))
            out.push_back(it);
        return out;
    }
    // One buffer in the tree's process serves every child: a folder may hold thousands.
    std::vector<std::wstring> ChildTexts(HTREEITEM parent) const
    {
        std::vector<std::wstring> out;
        RemoteBuffer buf(tree_, kBufferSize);
        for (HTREEITEM it : Children(parent)) {
            std::wstring text;
            if (buf)
                ItemIn(buf, it, TVIF_TEXT, &text);
            out.push_back(text);
        }
        return out;
    }

    // TVM_GETITEM with its structure and text buffer in the tree's own process; text, the
    // expand-button flag and the rest come from the program's answers, as drawn.
    std::optional<TVITEMW> Item(HTREEITEM item, UINT mask, std::wstring* text = nullptr) const
    {
        RemoteBuffer buf(tree_, kBufferSize);
        if (!buf)
            return std::nullopt;
        return ItemIn(buf, item, mask, text);
    }
    std::optional<TVITEMW> ItemIn(RemoteBuffer& buf, HTREEITEM item, UINT mask, std::wstring* text) const
    {
        TVITEMW it{};
        it.mask = mask | TVIF_HANDLE;
        it.hItem = item;
        it.pszText = static_cast<wchar_t*>(buf.Address(kTextOffset));
        it.cchTextMax = kChars;
        LRESULT ok = 0;
        if (!buf.Write(it) || !SendTimed(tree_, TVM_GETITEMW, 0, buf.Param(), ok) || !ok || !buf.Read(it))
            return std::nullopt;
        if (text) {
            std::wstring s(kChars, L'\0');
            buf.Read(s.data(), kChars * sizeof(wchar_t), kTextOffset);
            s.resize(wcsnlen(s.c_str(), kChars));
            *text = s;
        }
        return it;
    }
    std::wstring Text(HTREEITEM item) const
    {
        std::wstring text;
        Item(item, TVIF_TEXT, &text);
        return text;
    }
    // 0: no box, 1: clear, 2: ticked.
    int CheckState(HTREEITEM item) const
    {
        return static_cast<int>(SendTimed(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK) >> 12);
    }
    bool Expanded(HTREEITEM item) const
    {
        return (SendTimed(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    }
    // Whether the item shows an expand button.
    bool HasButton(HTREEITEM item) const
    {
        auto it = Item(item, TVIF_CHILDREN);
        return it && it->cChildren != 0;
    }
    HTREEITEM Find(HTREEITEM parent, const std::wstring& name) const
    {
        for (HTREEITEM it : Children(parent))
            if (CompareStringOrdinal(Text(it).c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
                return it;
        return nullptr;
    }

    bool EnsureVisible(HTREEITEM item) const
    {
        SendTimed(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
        return LabelRect(item).has_value();
    }
    // The label (text) part in screen coordinates; nothing while the item is out of view.
    std::optional<RECT> LabelRect(HTREEITEM item) const
    {
        RemoteBuffer buf(tree_, sizeof(RECT));
        RECT rc{};
        std::memcpy(&rc, &item, sizeof(item));
        LRESULT ok = 0;
        if (!buf || !buf.Write(rc) || !SendTimed(tree_, TVM_GETITEMRECT, TRUE, buf.Param(), ok) || !ok || !buf.Read(rc))
            return std::nullopt;
        RECT client{};
        GetClientRect(tree_, &client);
        if (rc.bottom <= 0 || rc.top >= client.bottom)
            return std::nullopt;
        MapWindowPoints(tree_, nullptr, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    // What a point (screen) of the tree is over: TVHT_* flags.
    UINT HitTest(POINT screen, HTREEITEM* item = nullptr) const
    {
        RemoteBuffer buf(tree_, sizeof(TVHITTESTINFO));
        TVHITTESTINFO hit{};
        hit.pt = screen;
        ScreenToClient(tree_, &hit.pt);
        LRESULT found = 0;
        if (!buf || !buf.Write(hit) || !SendTimed(tree_, TVM_HITTEST, 0, buf.Param(), found) || !buf.Read(hit))
            return 0;
        if (item)
            *item = reinterpret_cast<HTREEITEM>(found);
        return hit.flags;
    }
    // The middle of the item's check box, found by asking the tree what lies left of the label.
    std::optional<POINT> CheckBoxPoint(HTREEITEM item) const
    {
        if (!EnsureVisible(item))
            return std::nullopt;
        auto label = LabelRect(item);
        int y = (label->top + label->bottom) / 2;
        int first = -1;
        int last = -1;
        for (int x = label->left - 1; x > label->left - 80; --x) {
            HTREEITEM at = nullptr;
            bool onBox = (HitTest(POINT{x, y}, &at) & TVHT_ONITEMSTATEICON) && at == item;
            if (onBox) {
                if (last < 0)
                    last = x;
                first = x;
            } else if (last >= 0) {
                break;
            }
        }
        if (last < 0)
            return std::nullopt;
        return POINT{(first + last) / 2, y};
    }
    // Selects the item by clicking its label (which also gives the tree the focus).
    bool Select(HTREEITEM item) const
    {
        if (!EnsureVisible(item))
            return false;
        auto label = LabelRect(item);
        return label && Click(Center(*label)) &&
               WaitUntil([&] { return Next(nullptr, TVGN_CARET) == item; });
    }
    // Expands a collapsed item from the keyboard, as a user would, and waits for its entries
    // to be drawn (or, for an empty folder, for its button to go): the picker learns an
    // entry's check mark when it first draws it.
    bool Expand(HTREEITEM item) const
    {
        if (!Select(item))
            return false;
        PressKey(VK_RIGHT);
        return WaitUntil([&] { return (Expanded(item) && Next(item, TVGN_CHILD) && Drawn()) || !HasButton(item); },
                         kStartWait);
    }
    // The tree's thread has handled what came before and the tree has nothing left to paint.
    bool Drawn() const
    {
        SendTimed(tree_, WM_NULL);
        return !GetUpdateRect(tree_, nullptr, FALSE);
    }

private:
    HWND tree_;
};

// Expands the drive and every folder down to `path` (which must exist); the tree's item for
// it and, in `shown`, the path as the picker spells it. nullptr when a step fails.
inline HTREEITEM ExpandTo(const RemoteTree& tree, const std::wstring& path, std::wstring& shown)
{
    std::wstring rest = path.substr(3);
    HTREEITEM item = tree.Find(nullptr, path.substr(0, 3));   // "C:\"
    shown = path.substr(0, 2);
    while (item) {
        if (!tree.Expanded(item) && !tree.Expand(item))
            return nullptr;
        if (rest.empty())
            return item;
        size_t slash = rest.find(L'\\');
        std::wstring name = rest.substr(0, slash);
        rest = slash == std::wstring::npos ? L"" : rest.substr(slash + 1);
        item = tree.Find(item, name);
        if (item)
            shown += L"\\" + tree.Text(item);
    }
    return nullptr;
}

// The header's one column.
inline std::optional<HDITEMW> HeaderItem(HWND header, std::wstring* text = nullptr)
{
    RemoteBuffer buf(header, 64 + 128 * sizeof(wchar_t));
    HDITEMW item{};
    item.mask = HDI_FORMAT | HDI_TEXT | HDI_WIDTH;
    item.pszText = static_cast<wchar_t*>(buf.Address(64));
    item.cchTextMax = 128;
    LRESULT ok = 0;
    if (!buf || !buf.Write(item) || !SendTimed(header, HDM_GETITEMW, 0, buf.Param(), ok) || !ok || !buf.Read(item))
        return std::nullopt;
    if (text) {
        std::wstring s(128, L'\0');
        buf.Read(s.data(), 128 * sizeof(wchar_t), 64);
        s.resize(wcsnlen(s.c_str(), 128));
        *text = s;
    }
    return item;
}

inline std::optional<RECT> HeaderItemRect(HWND header)
{
    RemoteBuffer buf(header, sizeof(RECT));
    RECT rc{};
    LRESULT ok = 0;
    if (!buf || !SendTimed(header, HDM_GETITEMRECT, 0, buf.Param(), ok) || !ok || !buf.Read(rc))
        return std::nullopt;
    MapWindowPoints(header, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// A list box of another process (the system carries LB_GETTEXT across processes).
inline std::vector<std::wstring> ListBoxLines(HWND box)
{
    std::vector<std::wstring> out;
    LRESULT count = SendTimed(box, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendTimed(box, LB_GETTEXTLEN, static_cast<WPARAM>(i));
        std::wstring text(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
        LRESULT got = 0;
        SendTimed(box, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()), got);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        out.push_back(text);
    }
    return out;
}

inline std::optional<POINT> ListBoxLinePoint(HWND box, int index)
{
    RECT rc{};
    LRESULT ok = 0;
    if (!SendTimed(box, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc), ok) || ok == LB_ERR)
        return std::nullopt;
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return Center(rc);
}

} // namespace tw::e2e
