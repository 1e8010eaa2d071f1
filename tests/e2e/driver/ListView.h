// Reading a list view of another process (rows, texts, check marks, cell rectangles).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

namespace tw::e2e {

// Every call is a message to the live control, so the answers are what the user sees now.
// Failures (window gone, hung) read as empty text, 0 or nothing.
class RemoteListView {
public:
    explicit RemoteListView(HWND listView) : lv_(listView) {}

    HWND Window() const { return lv_; }
    int RowCount() const;
    int ColumnCount() const;
    int ColumnWidth(int column) const;
    std::wstring Text(int row, int column = 0) const;
    std::vector<std::wstring> Row(int row) const;
    // Column 0 of every row: the usual way to find a row.
    std::vector<std::wstring> Column(int column = 0) const;
    // The first row whose `column` reads `text`; -1 if none.
    int FindRow(const std::wstring& text, int column = 0) const;

    UINT State(int row, UINT mask) const;
    // The check box: state image 2 is checked, 1 unchecked (INDEXTOSTATEIMAGEMASK).
    bool Checked(int row) const;
    bool Selected(int row) const;
    int SelectedCount() const;

    // Rectangles in screen coordinates, ready for Click. For column 0 the cell is the label
    // part (LVIR_LABEL), since the bounds of sub-item 0 span the whole row.
    std::optional<RECT> RowRect(int row, int part = LVIR_BOUNDS) const;
    std::optional<RECT> CellRect(int row, int column) const;
    // Where a click toggles the row's check box: the middle of the state image, which sits
    // left of the item's icon (or label, without icons).
    std::optional<POINT> CheckBoxPoint(int row) const;
    // Scrolls the row into view (LVM_ENSUREVISIBLE); true when it is.
    bool EnsureVisible(int row) const;

private:
    HWND lv_;
};

} // namespace tw::e2e
