#include "ListView.h"

#include "Remote.h"

#include <commctrl.h>

namespace tw::e2e {
namespace {

// Text cells longer than this are cut; list view cells of this program are far shorter.
constexpr size_t kTextCount = 1024;
constexpr size_t kTextOffset = sizeof(LVITEMW);

std::optional<RECT> ToScreen(HWND window, RECT rect) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

int RemoteListView::RowCount() const { return static_cast<int>(SendTimed(lv_, LVM_GETITEMCOUNT)); }

int RemoteListView::ColumnCount() const {
    HWND header = reinterpret_cast<HWND>(SendTimed(lv_, LVM_GETHEADER));
    return header ? static_cast<int>(SendTimed(header, HDM_GETITEMCOUNT)) : 1;
}

int RemoteListView::ColumnWidth(int column) const {
    return static_cast<int>(SendTimed(lv_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

std::wstring RemoteListView::Text(int row, int column) const {
    // The item structure and the text buffer go into the target in one block; the control
    // copies the text to pszText, which must therefore point into the target too.
    RemoteBuffer buffer(lv_, kTextOffset + kTextCount * sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = column;
    item.cchTextMax = static_cast<int>(kTextCount);
    item.pszText = static_cast<LPWSTR>(buffer.Address(kTextOffset));
    if (!buffer.Write(item)) {
        return {};
    }
    LRESULT length = 0;
    if (!SendTimed(lv_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), buffer.Param(), length) || length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    buffer.Read(text.data(), text.size() * sizeof(wchar_t), kTextOffset);
    return text;
}

std::vector<std::wstring> RemoteListView::Row(int row) const {
    std::vector<std::wstring> cells;
    const int columns = ColumnCount();
    for (int c = 0; c < columns; ++c) {
        cells.push_back(Text(row, c));
    }
    return cells;
}

std::vector<std::wstring> RemoteListView::Column(int column) const {
    std::vector<std::wstring> cells;
    const int count = RowCount();
    for (int r = 0; r < count; ++r) {
        cells.push_back(Text(r, column));
    }
    return cells;
}

int RemoteListView::FindRow(const std::wstring& text, int column) const {
    const int count = RowCount();
    for (int r = 0; r < count; ++r) {
        if (Text(r, column) == text) {
            return r;
        }
    }
    return -1;
}

UINT RemoteListView::State(int row, UINT mask) const {
    return static_cast<UINT>(SendTimed(lv_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
}

bool RemoteListView::Checked(int row) const {
    return (State(row, LVIS_STATEIMAGEMASK) >> 12) == 2;
}

bool RemoteListView::Selected(int row) const { return State(row, LVIS_SELECTED) != 0; }

int RemoteListView::SelectedCount() const { return static_cast<int>(SendTimed(lv_, LVM_GETSELECTEDCOUNT)); }

std::optional<RECT> RemoteListView::RowRect(int row, int part) const {
    // LVM_GETITEMRECT reads the part from rect.left and writes the rectangle back.
    RemoteBuffer buffer(lv_, sizeof(RECT));
    RECT rect{};
    rect.left = part;
    LRESULT ok = 0;
    if (!buffer.Write(rect) || !SendTimed(lv_, LVM_GETITEMRECT, static_cast<WPARAM>(row), buffer.Param(), ok) || !ok ||
        !buffer.Read(rect)) {
        return std::nullopt;
    }
    return ToScreen(lv_, rect);
}

std::optional<RECT> RemoteListView::CellRect(int row, int column) const {
    // LVM_GETSUBITEMRECT takes the sub-item in rect.top and the part in rect.left.
    RemoteBuffer buffer(lv_, sizeof(RECT));
    RECT rect{};
    rect.top = column;
    rect.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    LRESULT ok = 0;
    if (!buffer.Write(rect) || !SendTimed(lv_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), buffer.Param(), ok) ||
        !ok || !buffer.Read(rect)) {
        return std::nullopt;
    }
    return ToScreen(lv_, rect);
}

std::optional<POINT> RemoteListView::CheckBoxPoint(int row) const {
    const std::optional<RECT> icon = RowRect(row, LVIR_ICON);
    const std::optional<RECT> bounds = RowRect(row, LVIR_BOUNDS);
    if (!icon || !bounds) {
        return std::nullopt;
    }
    // The state image is as wide as the small-icon metric and ends where the icon begins.
    const int stateWidth = GetSystemMetrics(SM_CXSMICON);
    return POINT{icon->left - stateWidth / 2, (bounds->top + bounds->bottom) / 2};
}

bool RemoteListView::EnsureVisible(int row) const {
    return SendTimed(lv_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE) != 0;
}

} // namespace tw::e2e
