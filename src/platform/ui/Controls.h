// Small free functions over the common controls the forms use, named by control
// (Lv = list view, Tv = tree view, Lb = list box), so handlers read as what they do.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tw::ui {

int LvGetItemCount(HWND lv);
void LvDeleteAllItems(HWND lv);
// Makes room for `count` rows at once before a bulk fill.
void LvReserveRows(HWND lv, int count);
// Puts a row with empty cells, a clear box and `data` as its data pointer at `row`; false
// when the list view refused it.
bool LvInsertRow(HWND lv, int row, LPARAM data);
void LvDeleteRow(HWND lv, int row);
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

// Brings a list view's rows to show the items of `list` (Count(), Items(i)) in order. `rows` is what each row shows (row i
// of the list view is rows[i]), so that only what changed is sent: each message costs, and a
// row that comes or goes with redrawing on repaints the list, hundreds of times over in a
// long list. Rows are matched to items by `Row::item`; a row whose item is gone is deleted,
// an item without a row gets one (an empty `Row` naming it: empty cells, a clear box), and
// `apply(row, shown, item)` brings a row's cells and tick from what `shown` says it shows to
// what the item says. A row whose item is at the address of one that was freed takes every
// cell from the item, so it ends as a new row would.
template <class Row, class List, class Apply>
void LvShowRows(HWND lv, std::vector<Row>& rows, List& list, Apply apply)
{
    using Item = std::remove_reference_t<decltype(list.Items(0))>;
    std::vector<const Item*> items;
    items.reserve(static_cast<std::size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(&list.Items(i));
    std::optional<RedrawPause> pause;
    // A list view that does not hold as many rows as we remember is not trusted row by row.
    if (static_cast<std::size_t>(LvGetItemCount(lv)) != rows.size()) {
        pause.emplace(lv);
        LvDeleteAllItems(lv);
        rows.clear();
    }
    if (rows.empty())
        LvReserveRows(lv, static_cast<int>(items.size()));
    std::unordered_map<const Item*, std::size_t> wantedAt;
    for (std::size_t i = 0; i < items.size(); ++i)
        wantedAt.emplace(items[i], i);
    for (std::size_t i = 0; i < items.size(); ++i) {
        // A row whose item is gone, or was placed earlier (it moved up), goes. So does a row
        // that moved down (its title now sorts later) when the rows after it are in place: it
        // comes back where it belongs, rather than every row it passed going and coming.
        while (i < rows.size()) {
            auto it = wantedAt.find(rows[i].item);
            const bool wanted = it != wantedAt.end() && it->second >= i;
            const bool movedDown = wanted && rows[i].item != items[i] && i + 1 < rows.size() &&
                                   rows[i + 1].item == items[i];
            if (wanted && !movedDown)
                break;
            if (!pause)
                pause.emplace(lv);
            LvDeleteRow(lv, static_cast<int>(i));
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (i == rows.size() || rows[i].item != items[i]) {
            if (!pause)
                pause.emplace(lv);
            // Remembered first: the list view reports the new row's box by its index.
            Row fresh{};
            fresh.item = items[i];
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(i), std::move(fresh));
            if (!LvInsertRow(lv, static_cast<int>(i), reinterpret_cast<LPARAM>(items[i]))) {
                rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
                throw std::runtime_error("the list refused a row");
            }
        }
        apply(static_cast<int>(i), rows[i], *items[i]);
    }
    while (rows.size() > items.size()) {
        if (!pause)
            pause.emplace(lv);
        LvDeleteRow(lv, static_cast<int>(rows.size() - 1));
        rows.pop_back();
    }
    LvStartOver(lv);
}

std::wstring GetText(HWND control);
void SetText(HWND control, const std::wstring& text);

} // namespace tw::ui
