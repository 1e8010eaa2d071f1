#include "platform/ui/Controls.h"

#include <commctrl.h>

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
