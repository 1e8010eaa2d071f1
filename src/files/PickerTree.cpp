// The picker's nodes: what each holds, when it is filled, how it is drawn and sorted.
#include "files/DrawTreeDemo.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

// Room left between a name and the edges of its column.
constexpr int kTextMargin = 4;
constexpr COLORREF kCompressedColor = RGB(0, 0, 255);

// The hourglass while a folder is read; the arrow again afterwards, also on an error.
class WaitCursor {
public:
    WaitCursor() { ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)); }
    ~WaitCursor() { ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

int TextWidth(HDC dc, std::wstring_view text)
{
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

RECT LabelRect(HWND tree, HTREEITEM item)
{
    RECT rc{};
    std::memcpy(&rc, &item, sizeof(item));   // the message takes the item in the rectangle
    if (!::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rc)))
        return RECT{};
    return rc;
}

} // namespace

HTREEITEM TDrawTreeForm::AddNode(HTREEITEM parent, TShellObjectData data)
{
    TShellObjectData& node = nodes_.emplace_back(std::move(data));
    if (node.TopLevel)
        VDT1InitNode(node);

    // Name, icons and expand button are asked for when the tree first shows the node.
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    ins.item.pszText = LPSTR_TEXTCALLBACKW;
    ins.item.iImage = I_IMAGECALLBACK;
    ins.item.iSelectedImage = I_IMAGECALLBACK;
    ins.item.cChildren = I_CHILDRENCALLBACK;
    ins.item.lParam = reinterpret_cast<LPARAM>(&node);
    int overlay = (node.ShellAttributes & shell::kShared) ? shareOverlay_
                  : (node.ShellAttributes & shell::kLink) ? linkOverlay_
                                                           : -1;
    if (overlay > 0) {
        ins.item.mask |= TVIF_STATE;
        ins.item.state = INDEXTOOVERLAYMASK(overlay);
        ins.item.stateMask = TVIS_OVERLAYMASK;
    }
    HWND tree = VDT1();
    node.Item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    if (!node.Item) {
        nodes_.pop_back();
        return nullptr;
    }
    // A new item comes with a clear box; a drive gets none, a listed path a ticked one.
    if (node.TopLevel) {
        TreeView_SetItemState(tree, node.Item, INDEXTOSTATEIMAGEMASK(0), TVIS_STATEIMAGEMASK);
    } else if (node.Checked) {
        TreeView_SetItemState(tree, node.Item, INDEXTOSTATEIMAGEMASK(2), TVIS_STATEIMAGEMASK);
    }
    return node.Item;
}

void TDrawTreeForm::VDT1InitNode(TShellObjectData& node)
{
    node.Initialised = true;
    if (node.TopLevel) {
        node.ShownName = ui::FromAnsi(node.Path);
        // A path below a drive root is no drive root, so the system names no drive type for
        // it: the attributes read while its folder was listed stand.
        if (ReadsShellAttributes(files_.GetDriveTypeA(node.Path), node.Path))
            node.ShellAttributes = files_.ShellAttributes(node.Path, shell::kRequestMask);
    } else {
        node.ShownName = ui::FromAnsi(LastComponent(node.Path));
    }
}

void TDrawTreeForm::LookUpIcons(TShellObjectData& node)
{
    node.IconsLooked = true;
    node.ClosedIconIndex = files_.SmallIconIndex(node.Path, kClosedIconFlags);
    node.OpenIconIndex = files_.SmallIconIndex(node.Path, kOpenIconFlags);
}

void TDrawTreeForm::VDT1GetDispInfo(NMTVDISPINFOW& info)
{
    auto* node = reinterpret_cast<TShellObjectData*>(info.item.lParam);
    if (!node)
        return;
    if (!node->Initialised)
        VDT1InitNode(*node);
    if ((info.item.mask & TVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
        std::size_t n = std::min(node->ShownName.size(), static_cast<std::size_t>(info.item.cchTextMax - 1));
        node->ShownName.copy(info.item.pszText, n);
        info.item.pszText[n] = L'\0';
    }
    if (info.item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
        if (!node->IconsLooked)
            LookUpIcons(*node);
        int index = (info.item.state & TVIS_EXPANDED) ? node->OpenIconIndex : node->ClosedIconIndex;
        info.item.iImage = index;
        info.item.iSelectedImage = index;
    }
    if (info.item.mask & TVIF_CHILDREN) {
        if (node->HasChildren < 0)
            node->HasChildren = HasChildren(node->ShellAttributes, [&] { return FolderHasFiles(files_, node->Path); });
        info.item.cChildren = node->HasChildren;
    }
}

void TDrawTreeForm::VDT1InitChildren(TShellObjectData& node)
{
    node.Listed = true;
    HWND tree = VDT1();
    std::vector<ListedEntry> entries;
    {
        WaitCursor wait;
        entries = ListFolder(files_, node.Path, direction_);
        if (!entries.empty()) {
            ui::RedrawPause pause(tree);
            for (ListedEntry& entry : entries) {
                TShellObjectData child;
                child.Path = std::move(entry.path);
                child.ShellAttributes = entry.shellAttributes;
                child.Checked = OnIsPathChecked && OnIsPathChecked(child.Path);
                AddNode(node.Item, std::move(child));
            }
        }
    }
    if (entries.empty()) {
        // Nothing inside after all: the node loses its expand button.
        node.HasChildren = 0;
        TVITEMW it{};
        it.mask = TVIF_CHILDREN | TVIF_HANDLE;
        it.hItem = node.Item;
        it.cChildren = 0;
        ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    }
}

int CALLBACK TDrawTreeForm::VDT1CompareNodes(LPARAM a, LPARAM b, LPARAM direction)
{
    auto* n1 = reinterpret_cast<const TShellObjectData*>(a);
    auto* n2 = reinterpret_cast<const TShellObjectData*>(b);
    return CompareNodes(n1->ShellAttributes, n1->Path, n2->ShellAttributes, n2->Path,
                        static_cast<SortDirection>(direction));
}

void TDrawTreeForm::SortTree()
{
    HWND tree = VDT1();
    ui::RedrawPause pause(tree);
    auto sortChildren = [&](HTREEITEM parent) {
        TVSORTCB sort{};
        sort.hParent = parent;
        sort.lpfnCompare = &TDrawTreeForm::VDT1CompareNodes;
        sort.lParam = static_cast<LPARAM>(direction_);
        ::SendMessageW(tree, TVM_SORTCHILDRENCB, FALSE, reinterpret_cast<LPARAM>(&sort));
    };
    sortChildren(TVI_ROOT);
    for (const TShellObjectData& node : nodes_)
        if (node.Listed && node.Item)
            sortChildren(node.Item);
}

int TDrawTreeForm::VDT1GetNodeWidth(HDC dc, const TShellObjectData& node)
{
    return TextWidth(dc, node.ShownName) + 2 * kTextMargin;
}

void TDrawTreeForm::FitColumn()
{
    HWND tree = VDT1();
    HDC dc = ::GetDC(tree);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(tree, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (HTREEITEM item = TreeView_GetFirstVisible(tree); item; item = TreeView_GetNextVisible(tree, item)) {
        TShellObjectData* node = NodeOf(item);
        RECT label = LabelRect(tree, item);
        if (!node || label.bottom <= label.top)
            break;   // below the visible part
        widest = std::max(widest, static_cast<int>(label.left) + VDT1GetNodeWidth(dc, *node));
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(tree, dc);
    if (widest > 0) {
        HDITEMW column{};
        column.mask = HDI_WIDTH;
        column.cxy = widest;
        ::SendMessageW(Header(), HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&column));
        ::InvalidateRect(tree, nullptr, TRUE);
    }
}

LRESULT TDrawTreeForm::VDT1DrawNode(NMTVCUSTOMDRAW& draw)
{
    auto* node = reinterpret_cast<TShellObjectData*>(draw.nmcd.lItemlParam);
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT: {
        bool focused = (draw.nmcd.uItemState & CDIS_SELECTED) && ::GetFocus() == VDT1();
        if (focused) {
            draw.clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
            draw.clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
        } else if (node && (node->ShellAttributes & shell::kCompressed)) {
            draw.clrText = kCompressedColor;
        } else {
            draw.clrText = ::GetSysColor(COLOR_WINDOWTEXT);
        }
        return CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT;
    }
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
    HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(tree, WM_GETFONT, 0, 0)));
    struct FontBack {
        HDC dc;
        HGDIOBJ font;
        ~FontBack() { ::SelectObject(dc, font); }
    } back{dc, oldFont};
    RECT label = LabelRect(tree, reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec));
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
        HBRUSH brush = ::CreateSolidBrush(draw.clrTextBk);
        ::FillRect(dc, &selected, brush);
        ::DeleteObject(brush);
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
