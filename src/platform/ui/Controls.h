// Small free functions over the common controls the forms use, named by control
// (Lv = list view, Tv = tree view, Lb = list box), so handlers read as what they do.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

namespace tw::ui {

int LvGetItemCount(HWND lv);
void LvDeleteAllItems(HWND lv);
// Makes room for `count` rows at once before a bulk fill.
void LvReserveRows(HWND lv, int count);
// Appends a row with an empty caption, `data` as its data pointer and the given check mark.
int LvAppendRow(HWND lv, LPARAM data, bool checked);
void LvSetSubItemText(HWND lv, int row, int subItem, const std::wstring& text);
std::wstring LvGetSubItemText(HWND lv, int row, int subItem);
LPARAM LvGetData(HWND lv, int row);
bool LvGetChecked(HWND lv, int row);
void LvSetChecked(HWND lv, int row, bool checked);
// As a refilled table starts: no row selected or focused, scrolled to the first row.
void LvStartOver(HWND lv);
// The row under a point in the list view's client coordinates, or -1.
int LvRowAt(HWND lv, POINT pt);
int LvGetColumnWidth(HWND lv, int column);
RECT LvGetRowRect(HWND lv, int row);

// --- Tree view ----------------------------------------------------------------------------

HTREEITEM TvInsertItem(HWND tv, const TVINSERTSTRUCTW& insert);
LPARAM TvGetData(HWND tv, HTREEITEM item);
bool TvIsExpanded(HWND tv, HTREEITEM item);
void TvExpand(HWND tv, HTREEITEM item);
// The check box as its state image: 0 none, 1 clear, 2 ticked.
unsigned TvGetCheckState(HWND tv, HTREEITEM item);
void TvSetCheckState(HWND tv, HTREEITEM item, unsigned state);
void TvSetOverlay(HWND tv, HTREEITEM item, int overlay);
// Whether the item shows an expand button; I_CHILDRENCALLBACK makes the tree ask again.
void TvSetChildren(HWND tv, HTREEITEM item, int children);
// The item's whole row, or only its label; empty when the item is scrolled out of view.
RECT TvGetItemRect(HWND tv, HTREEITEM item, bool labelOnly);
// The item under a point in the tree's client coordinates, and where on it (TVHT_*).
HTREEITEM TvHitTest(HWND tv, POINT pt, UINT& where);
HTREEITEM TvGetSelection(HWND tv);
HTREEITEM TvGetFirstVisible(HWND tv);
HTREEITEM TvGetNextVisible(HWND tv, HTREEITEM item);
void TvSortChildren(HWND tv, HTREEITEM parent, PFNTVCOMPARE compare, LPARAM data);

// An image list made for a tree (its check boxes, or icons of our own): the tree only borrows
// it, so it is taken off the tree, if the tree is still there, before it is destroyed.
class TvImageList {
public:
    TvImageList() = default;
    ~TvImageList() { Reset(); }
    TvImageList(const TvImageList&) = delete;
    TvImageList& operator=(const TvImageList&) = delete;

    // Takes `list` as the tree's list `which` (TVSIL_*), dropping what was held before.
    void Reset(HWND tv = nullptr, int which = TVSIL_NORMAL, HIMAGELIST list = nullptr);
    HIMAGELIST Get() const { return list_; }

private:
    HWND tv_ = nullptr;
    int which_ = TVSIL_NORMAL;
    HIMAGELIST list_ = nullptr;
};

// --- List box -----------------------------------------------------------------------------

int LbGetCount(HWND lb);
// Nothing when there is no such line.
std::optional<std::wstring> LbGetText(HWND lb, int index);
// The new line's index, or negative when the box could not take it.
int LbAddString(HWND lb, const std::wstring& text);
void LbDeleteString(HWND lb, int index);
void LbResetContent(HWND lb);
// The first whole line equal to `text`, letter case ignored by the system's rules; -1 for none.
int LbFindStringExact(HWND lb, const std::wstring& text);
// The selected line, or -1.
int LbGetCurSel(HWND lb);
// Empty when there is no such line.
RECT LbGetItemRect(HWND lb, int index);

// Turns a control's redrawing off for a bulk change and back on (with a repaint) after.
class RedrawPause {
public:
    explicit RedrawPause(HWND control);
    ~RedrawPause();
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    HWND control_;
};

std::wstring GetText(HWND control);
void SetText(HWND control, const std::wstring& text);

} // namespace tw::ui
