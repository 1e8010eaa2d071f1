#include "platform/ui/Controls.h"

#include <commctrl.h>

#include <climits>
#include <cstring>
#include <vector>

namespace tw::ui {

int LvGetItemCount(HWND lv) { return static_cast<int>(::SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0)); }

void LvDeleteAllItems(HWND lv) { ::SendMessageW(lv, LVM_DELETEALLITEMS, 0, 0); }

void LvReserveRows(HWND lv, int count)
{
    ::SendMessageW(lv, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL);
}

bool LvInsertRow(HWND lv, int row, LPARAM data)
{
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = row;
    it.pszText = const_cast<wchar_t*>(L"");
    it.lParam = data;
    return ::SendMessageW(lv, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)) == row;
}

void LvDeleteRow(HWND lv, int row) { ::SendMessageW(lv, LVM_DELETEITEM, static_cast<WPARAM>(row), 0); }

void LvSetSubItemText(HWND lv, int row, int subItem, const std::wstring& text)
{
    LVITEMW it{};
    it.iSubItem = subItem;
    it.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(lv, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
}

std::wstring LvGetSubItemText(HWND lv, int row, int subItem)
{
    std::vector<wchar_t> buf(512);
    LVITEMW it{};
    it.iSubItem = subItem;
    it.pszText = buf.data();
    it.cchTextMax = static_cast<int>(buf.size());
    int n = static_cast<int>(::SendMessageW(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it)));
    return std::wstring(buf.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

LPARAM LvGetData(HWND lv, int row)
{
    LVITEMW it{};
    it.mask = LVIF_PARAM;
    it.iItem = row;
    if (!::SendMessageW(lv, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)))
        return 0;
    return it.lParam;
}

bool LvGetChecked(HWND lv, int row)
{
    // State image 2 is the ticked box, 1 the clear one.
    auto state = static_cast<UINT>(::SendMessageW(lv, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

void LvSetChecked(HWND lv, int row, bool checked)
{
    LVITEMW it{};
    it.stateMask = LVIS_STATEIMAGEMASK;
    it.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    ::SendMessageW(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
}

void LvStartOver(HWND lv)
{
    // Row by row, only where there is something to clear: a change sent to every row
    // (index -1) costs each row its change notifications.
    LVITEMW it{};
    it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    for (UINT which : {static_cast<UINT>(LVNI_SELECTED), static_cast<UINT>(LVNI_FOCUSED)}) {
        int row = -1;
        while ((row = static_cast<int>(::SendMessageW(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(row), which))) >= 0)
            ::SendMessageW(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
    }
    ::SendMessageW(lv, LVM_ENSUREVISIBLE, 0, FALSE);   // refused, harmlessly, by an empty list
}

int LvRowAt(HWND lv, POINT pt)
{
    LVHITTESTINFO hit{};
    hit.pt = pt;
    int row = static_cast<int>(::SendMessageW(lv, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & LVHT_ONITEM) ? row : -1;
}

int LvGetColumnWidth(HWND lv, int column)
{
    return static_cast<int>(::SendMessageW(lv, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

RECT LvGetRowRect(HWND lv, int row)
{
    RECT rc{};
    rc.left = LVIR_BOUNDS;
    ::SendMessageW(lv, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc));
    return rc;
}

// --- Tree view ----------------------------------------------------------------------------

HTREEITEM TvInsertItem(HWND tv, const TVINSERTSTRUCTW& insert)
{
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tv, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

LPARAM TvGetData(HWND tv, HTREEITEM item)
{
    TVITEMW it{};
    it.mask = TVIF_PARAM | TVIF_HANDLE;
    it.hItem = item;
    if (!item || !::SendMessageW(tv, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)))
        return 0;
    return it.lParam;
}

bool TvIsExpanded(HWND tv, HTREEITEM item)
{
    return (::SendMessageW(tv, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

void TvExpand(HWND tv, HTREEITEM item) { ::SendMessageW(tv, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)); }

unsigned TvGetCheckState(HWND tv, HTREEITEM item)
{
    auto state = static_cast<UINT>(::SendMessageW(tv, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
    return (state & TVIS_STATEIMAGEMASK) >> 12;
}

void TvSetCheckState(HWND tv, HTREEITEM item, unsigned state)
{
    TreeView_SetItemState(tv, item, INDEXTOSTATEIMAGEMASK(state), TVIS_STATEIMAGEMASK);
}

void TvSetOverlay(HWND tv, HTREEITEM item, int overlay)
{
    TreeView_SetItemState(tv, item, INDEXTOOVERLAYMASK(overlay > 0 ? overlay : 0), TVIS_OVERLAYMASK);
}

void TvSetChildren(HWND tv, HTREEITEM item, int children)
{
    TVITEMW it{};
    it.mask = TVIF_CHILDREN | TVIF_HANDLE;
    it.hItem = item;
    it.cChildren = children;
    ::SendMessageW(tv, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

RECT TvGetItemRect(HWND tv, HTREEITEM item, bool labelOnly)
{
    RECT rc{};
    // The message takes the item in the rectangle it fills.
    static_assert(sizeof(item) <= sizeof(rc));
    std::memcpy(&rc, &item, sizeof(item));
    if (!::SendMessageW(tv, TVM_GETITEMRECT, labelOnly, reinterpret_cast<LPARAM>(&rc)))
        return RECT{};
    return rc;
}

HTREEITEM TvHitTest(HWND tv, POINT pt, UINT& where)
{
    TVHITTESTINFO hit{};
    hit.pt = pt;
    auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tv, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    where = hit.flags;
    return item;
}

HTREEITEM TvGetSelection(HWND tv) { return TreeView_GetSelection(tv); }
HTREEITEM TvGetFirstVisible(HWND tv) { return TreeView_GetFirstVisible(tv); }
HTREEITEM TvGetNextVisible(HWND tv, HTREEITEM item) { return TreeView_GetNextVisible(tv, item); }

void TvSortChildren(HWND tv, HTREEITEM parent, PFNTVCOMPARE compare, LPARAM data)
{
    TVSORTCB sort{};
    sort.hParent = parent;
    sort.lpfnCompare = compare;
    sort.lParam = data;
    ::SendMessageW(tv, TVM_SORTCHILDRENCB, FALSE, reinterpret_cast<LPARAM>(&sort));
}

void TvImageList::Reset(HWND tv, int which, HIMAGELIST list)
{
    if (list_) {
        if (tv_ && ::IsWindow(tv_) &&
            reinterpret_cast<HIMAGELIST>(::SendMessageW(tv_, TVM_GETIMAGELIST, which_, 0)) == list_)
            ::SendMessageW(tv_, TVM_SETIMAGELIST, which_, 0);
        ::ImageList_Destroy(list_);
    }
    tv_ = tv;
    which_ = which;
    list_ = list;
    if (tv && list)
        ::SendMessageW(tv, TVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(list));
}

// --- List box -----------------------------------------------------------------------------

int LbGetCount(HWND lb) { return static_cast<int>(::SendMessageW(lb, LB_GETCOUNT, 0, 0)); }

std::optional<std::wstring> LbGetText(HWND lb, int index)
{
    LRESULT length = ::SendMessageW(lb, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return std::nullopt;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT got = ::SendMessageW(lb, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

int LbAddString(HWND lb, const std::wstring& text)
{
    return static_cast<int>(::SendMessageW(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

void LbDeleteString(HWND lb, int index) { ::SendMessageW(lb, LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

void LbResetContent(HWND lb) { ::SendMessageW(lb, LB_RESETCONTENT, 0, 0); }

int LbFindStringExact(HWND lb, const std::wstring& text)
{
    LRESULT found = ::SendMessageW(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    return found == LB_ERR ? -1 : static_cast<int>(found);
}

int LbGetCurSel(HWND lb)
{
    LRESULT selected = ::SendMessageW(lb, LB_GETCURSEL, 0, 0);
    return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

RECT LbGetItemRect(HWND lb, int index)
{
    RECT rc{};
    if (::SendMessageW(lb, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc)) == LB_ERR)
        return RECT{};
    return rc;
}

RedrawPause::RedrawPause(HWND control) : control_(control) { ::SendMessageW(control_, WM_SETREDRAW, FALSE, 0); }

RedrawPause::~RedrawPause()
{
    ::SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(control_, nullptr, TRUE);
}

std::wstring GetText(HWND control)
{
    int n = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    n = ::GetWindowTextW(control, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return text;
}

void SetText(HWND control, const std::wstring& text) { ::SetWindowTextW(control, text.c_str()); }

} // namespace tw::ui
