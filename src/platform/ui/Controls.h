// Small free functions over the common controls the forms use, named by control
// (Lv = list view, Lb = list box), so handlers read as what they do.
#pragma once

#include <windows.h>

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
