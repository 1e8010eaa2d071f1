// TDrawTreeForm's drawing: names shortened at the column's edge, grid lines, and icons at the DPI's size.
#include "files/DrawTreeDemo.h"

#include "platform/Win32Platform.h"

#include <algorithm>
#include <vector>

namespace tw {

namespace {

// Room left between a name and the edges of its column.
constexpr int kTextMargin = 4;
constexpr COLORREF kCompressedColor = RGB(0, 0, 255);
constexpr int kSmallIcon = 16;       // the icons' size at 96 DPI

int TextWidth(HDC dc, std::wstring_view text)
{
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

HFONT TreeFont(HWND tree) { return reinterpret_cast<HFONT>(::SendMessageW(tree, WM_GETFONT, 0, 0)); }

// The system's icon lists (SHGetImageList: SHIL_SMALL 1, SHIL_LARGE 0, SHIL_EXTRALARGE 2) and
// their icons' heights. Every one holds the same icons at the same indices, overlays included.
void SystemIconLists(std::vector<HIMAGELIST>& lists, std::vector<int>& sizes)
{
    static constexpr int kLists[] = {1, 0, 2};
    // IID_IImageList: the interface the lists are handed out as, which is also the list's handle.
    static const GUID kImageListId = {0x46eb5926, 0x582e, 0x4017, {0x9f, 0xdf, 0xe8, 0x99, 0x8d, 0xaa, 0x09, 0x50}};
    using GetImageList = HRESULT(WINAPI*)(int, REFIID, void**);
    // shell32 is loaded by now: the small list was asked of it first.
    auto get = Bound<GetImageList>(::GetModuleHandleW(L"shell32.dll"), "SHGetImageList");
    for (int which : kLists) {
        void* list = nullptr;
        int cx = 0;
        int cy = 0;
        // The shell keeps its lists for the life of the process; the reference is not ours to drop.
        if (get && SUCCEEDED(get(which, kImageListId, &list)) && list &&
            ::ImageList_GetIconSize(static_cast<HIMAGELIST>(list), &cx, &cy)) {
            lists.push_back(static_cast<HIMAGELIST>(list));
            sizes.push_back(cy);
        }
    }
}

} // namespace

// At 100 % the small list draws as it is. At a DPI whose size one of the system's lists has,
// that list draws. At any other (150 % asks for 24 pixels, which no system list has) the
// tree draws from a list of ours of that size; the shell's overlays cannot be put into such
// a list, so each icon goes in with its overlay already drawn on it (DrawnIcon).
void TDrawTreeForm::UseIconsForDpi()
{
    std::vector<HIMAGELIST> lists;
    std::vector<int> sizes;
    SystemIconLists(lists, sizes);
    HWND tree = VDT1();
    int wanted = Scale(kSmallIcon);
    IconPlan plan = PlanIcons(wanted, sizes);
    scaledIcons_.clear();
    scaleFrom_ = nullptr;
    HIMAGELIST own = plan.scaled ? ::ImageList_Create(wanted, wanted, ILC_COLOR32 | ILC_MASK, 64, 64) : nullptr;
    if (own) {
        scaleFrom_ = lists[plan.list];
        scaled_.Reset(tree, TVSIL_NORMAL, own);
    } else {
        scaled_.Reset();
        HIMAGELIST chosen = lists.empty() ? SystemImages : plan.scaled ? lists[0] : lists[plan.list];
        if (chosen)
            ::SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(chosen));
    }
    // Overlays already shown move between the items and our icons, as the new list needs.
    for (const TShellObjectData& node : nodes_)
        if (node.Item && OverlayOf(node.ShellAttributes) > 0)
            ui::TvSetOverlay(tree, node.Item, own ? 0 : OverlayOf(node.ShellAttributes));
}

// Made once per icon and overlay, while the tree paints: a folder of thousands of files of
// one type costs one. The list draws what it is given at its own size, so the shell's larger
// icon comes out at ours, shrunk rather than grown.
int TDrawTreeForm::DrawnIcon(int index, int overlay)
{
    if (!scaled_.Get() || index < 0)
        return index;
    std::pair<int, int> key{index, overlay > 0 ? overlay : 0};
    auto [it, added] = scaledIcons_.try_emplace(key, -1);
    if (added) {
        UINT style = ILD_TRANSPARENT | (key.second ? INDEXTOOVERLAYMASK(key.second) : 0);
        ui::UniqueIcon icon(::ImageList_GetIcon(scaleFrom_, index, style));
        if (icon)
            it->second = ::ImageList_ReplaceIcon(scaled_.Get(), -1, icon.Get());
    }
    return it->second;
}

void TDrawTreeForm::InvalidateRow(HTREEITEM item)
{
    RECT row = ui::TvGetItemRect(VDT1(), item, false);
    if (row.bottom > row.top)
        ::InvalidateRect(VDT1(), &row, FALSE);
}

int TDrawTreeForm::VDT1GetNodeWidth(HDC dc, const TShellObjectData& node)
{
    return TextWidth(dc, node.ShownName) + 2 * kTextMargin;
}

void TDrawTreeForm::FitColumn()
{
    HWND tree = VDT1();
    int widest = 0;
    {
        ui::WindowDc dc(tree);
        ui::SelectedObject font(dc.Get(), TreeFont(tree));
        for (HTREEITEM item = ui::TvGetFirstVisible(tree); item; item = ui::TvGetNextVisible(tree, item)) {
            TShellObjectData* node = NodeOf(item);
            RECT label = ui::TvGetItemRect(tree, item, true);
            if (!node || label.bottom <= label.top)
                break;   // below the visible part
            widest = std::max(widest, static_cast<int>(label.left) + VDT1GetNodeWidth(dc.Get(), *node));
        }
    }
    if (widest > 0) {
        HDITEMW column{};
        column.mask = HDI_WIDTH;
        column.cxy = widest;
        ::SendMessageW(Header(), HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&column));
        ::InvalidateRect(tree, nullptr, TRUE);
    }
}

COLORREF TDrawTreeForm::TextColor(const NMTVCUSTOMDRAW& draw, const TShellObjectData* node) const
{
    if ((draw.nmcd.uItemState & CDIS_SELECTED) && ::GetFocus() == VDT1())
        return ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    if (node && (node->ShellAttributes & shell::kCompressed))
        return kCompressedColor;
    return ::GetSysColor(COLOR_WINDOWTEXT);
}

LRESULT TDrawTreeForm::VDT1DrawNode(NMTVCUSTOMDRAW& draw)
{
    auto* node = reinterpret_cast<TShellObjectData*>(draw.nmcd.lItemlParam);
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT:
        draw.clrText = TextColor(draw, node);
        if ((draw.nmcd.uItemState & CDIS_SELECTED) && ::GetFocus() == VDT1())
            draw.clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
        return CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPOSTPAINT:
        if (node)
            DrawShortened(draw, *node);
        return CDRF_DODEFAULT;
    case CDDS_POSTPAINT: {
        // The column's right edge, as a grid line.
        RECT client{};
        ::GetClientRect(VDT1(), &client);
        RECT line{ColumnRight() - 1, client.top, ColumnRight(), client.bottom};
        ::FillRect(draw.nmcd.hdc, &line, ::GetSysColorBrush(COLOR_BTNFACE));
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

// The tree draws every name whole; one that runs past the column is painted over with its
// longest beginning that fits, followed by "...".
void TDrawTreeForm::DrawShortened(const NMTVCUSTOMDRAW& draw, TShellObjectData& node)
{
    HWND tree = VDT1();
    HDC dc = draw.nmcd.hdc;
    const RECT& row = draw.nmcd.rc;
    int columnRight = ColumnRight();

    RECT grid{row.left, row.bottom - 1, columnRight, row.bottom};
    ::FillRect(dc, &grid, ::GetSysColorBrush(COLOR_BTNFACE));

    if (node.ShownName.empty())
        return;
    // Measured and drawn in the tree's own font, whatever the tree left selected by now.
    ui::SelectedObject font(dc, TreeFont(tree));
    RECT label = ui::TvGetItemRect(tree, reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec), true);
    int fullWidth = TextWidth(dc, node.ShownName);
    // The tree pads its label evenly around the text; our text starts where the tree's did.
    int pad = std::max(0, static_cast<int>(label.right - label.left) - fullWidth) / 2;
    int textLeft = label.left + pad;
    int textRight = columnRight - Scale(kTextMargin) - 1;
    if (label.right <= label.left || textLeft + fullWidth <= textRight)
        return;

    std::wstring shown = ShortenWithEllipsis(node.ShownName, textRight - textLeft,
                                             [dc](std::wstring_view text) { return TextWidth(dc, text); });
    // Everything the tree drew for the label goes: its text, highlight and focus frame.
    RECT clear{label.left, label.top, std::max(label.right, static_cast<LONG>(columnRight)), label.bottom};
    ::FillRect(dc, &clear, ::GetSysColorBrush(COLOR_WINDOW));
    ::FillRect(dc, &grid, ::GetSysColorBrush(COLOR_BTNFACE));
    if (draw.nmcd.uItemState & CDIS_SELECTED) {
        RECT selected{label.left, label.top, std::min(textLeft + TextWidth(dc, shown) + pad, columnRight),
                      label.bottom - 1};
        ui::UniqueBrush brush(::CreateSolidBrush(draw.clrTextBk));
        ::FillRect(dc, &selected, brush.Get());
    }
    RECT text{textLeft, label.top, textRight, label.bottom};
    int oldMode = ::SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = ::SetTextColor(dc, draw.clrText);
    ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
}

} // namespace tw
