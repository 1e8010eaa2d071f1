// The picker's nodes: what each holds, when it is filled, how it is drawn and sorted.
#include "files/DrawTreeDemo.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace tw {

namespace {

// Room left between a name and the edges of its column.
constexpr int kTextMargin = 4;
constexpr COLORREF kCompressedColor = RGB(0, 0, 255);

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
    else if (node.ShownName.empty())
        node.ShownName = ui::FromUtf8(LastComponent(node.Path));

    // The name is the tree's to keep: a tree that measures every entry it opens then asks us
    // nothing. Icons, expand button and check mark are asked for when the tree first draws
    // the node, and only then is the node initialised and queued for the shell's answers.
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    ins.item.pszText = node.ShownName.data();
    ins.item.iImage = I_IMAGECALLBACK;
    ins.item.iSelectedImage = I_IMAGECALLBACK;
    ins.item.cChildren = I_CHILDRENCALLBACK;
    ins.item.lParam = reinterpret_cast<LPARAM>(&node);
    int overlay = OverlayOf(node.ShellAttributes);
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
    // A new item comes with a clear box; a drive gets none.
    if (node.TopLevel)
        TreeView_SetItemState(tree, node.Item, INDEXTOSTATEIMAGEMASK(0), TVIS_STATEIMAGEMASK);
    return node.Item;
}

int TDrawTreeForm::OverlayOf(std::uint32_t shellAttributes) const
{
    return (shellAttributes & shell::kShared) ? shareOverlay_ : (shellAttributes & shell::kLink) ? linkOverlay_ : -1;
}

void TDrawTreeForm::VDT1InitNode(TShellObjectData& node)
{
    node.Initialised = true;
    if (node.TopLevel) {
        node.ShownName = ui::FromUtf8(node.Path);
    } else if (OnIsPathChecked && OnIsPathChecked(node.Path)) {
        // A path in the list starts ticked, set directly: no hiding is asked for.
        node.Checked = true;
        TreeView_SetItemState(VDT1(), node.Item, INDEXTOSTATEIMAGEMASK(2), TVIS_STATEIMAGEMASK);
    }
}

// What needs no disk: the icon of the node's type, asked once per type. The shell is asked
// about a made-up name of that type, not the node's path: a drive's root could otherwise
// lend its drive icon to every folder.
int TDrawTreeForm::TypeIconIndex(const TShellObjectData& node, bool open)
{
    std::string key = TypeIconKey(node.ShellAttributes, node.Path, node.TopLevel, open);
    auto [it, added] = typeIcons_.try_emplace(key, -1);
    if (added) {
        bool folder = node.TopLevel || (node.ShellAttributes & shell::kFolder);
        it->second = files_.TypeIconIndex(folder ? "folder" : "file" + key, folder,
                                          open ? kOpenIconFlags : kClosedIconFlags);
    }
    return it->second;
}

// The node's own icon once the shell has named it, its type's until then (or if it cannot).
int TDrawTreeForm::ShownIconIndex(TShellObjectData& node, bool open)
{
    int own = open ? node.OpenIconIndex : node.ClosedIconIndex;
    bool looked = open ? node.OpenIconLooked : node.ClosedIconLooked;
    return looked && own >= 0 ? own : TypeIconIndex(node, open);
}

// Until the shell has said, a folder or drive shows the expand button it most likely has;
// a click on it lists the folder, which settles the question either way.
int TDrawTreeForm::ShownChildren(const TShellObjectData& node) const
{
    if (node.HasChildren >= 0)
        return node.HasChildren;
    return node.TopLevel || (node.ShellAttributes & shell::kFolder) ? 1 : 0;
}

// What the search could not tell, asked of the shell once the node is drawn, and kept. A file
// is never shown open, nor a folder before it is expanded: only the icon drawn is asked for.
void TDrawTreeForm::QueueRefine(TShellObjectData& node)
{
    if (node.Refining)
        return;
    ShellQuestion q;
    q.node = &node;
    q.path = node.Path;
    q.topLevel = node.TopLevel;
    q.open = (TreeView_GetItemState(VDT1(), node.Item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    q.askAttributes = !node.ShellAsked;
    q.askIcon = !(q.open ? node.OpenIconLooked : node.ClosedIconLooked);
    q.askChildren = node.HasChildren < 0;
    q.attributes = node.ShellAttributes;
    if (!q.askAttributes && !q.askIcon && !q.askChildren)
        return;
    node.Refining = true;
    ++asked_;
    work_->Ask(std::move(q));
    WatchWork();
}

// Without a timer to be had, a posted tick still gets the work done, ahead of input.
void TDrawTreeForm::KeepFilling()
{
    if (!fillTimer_)
        fillTimer_ = ::SetTimer(hwnd_, kFillTimer, USER_TIMER_MINIMUM, nullptr) != 0;
    if (!fillTimer_)
        ::PostMessageW(hwnd_, WM_TIMER, kFillTimer, 0);
}

void TDrawTreeForm::StopFilling()
{
    if (fillTimer_) {
        ::KillTimer(hwnd_, kFillTimer);
        fillTimer_ = false;
    }
}

// Work waiting behind a call that does not come back is looked at until none waits: a fresh
// thread takes it once the call has held it long enough.
void TDrawTreeForm::WatchWork()
{
    if (!watchTimer_)
        watchTimer_ = ::SetTimer(hwnd_, kWatchTimer, kWatchMs, nullptr) != 0;
}

void TDrawTreeForm::WorkWatched()
{
    if (!work_->Supervise(PickerWork::Clock::now()) && watchTimer_) {
        ::KillTimer(hwnd_, kWatchTimer);
        watchTimer_ = false;
    }
}

void TDrawTreeForm::TakeAnswers()
{
    for (const ShellQuestion& answered : work_->TakeAnswers())
        Refine(answered);
}

// An answer is kept, and the node redrawn only if it changed what the node shows.
void TDrawTreeForm::Refine(const ShellQuestion& answered)
{
    TShellObjectData& node = *answered.node;
    node.Refining = false;
    --asked_;
    HWND tree = VDT1();
    bool open = (TreeView_GetItemState(tree, node.Item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    int iconBefore = ShownIconIndex(node, open);
    int childrenBefore = ShownChildren(node);
    if (answered.askAttributes) {
        node.ShellAsked = true;
        node.ShellAttributes = answered.attributes;
    }
    if (answered.askIcon) {
        (answered.open ? node.OpenIconLooked : node.ClosedIconLooked) = true;
        (answered.open ? node.OpenIconIndex : node.ClosedIconIndex) = answered.icon;
    }
    if (answered.askChildren && node.HasChildren < 0)
        node.HasChildren = answered.hasChildren;
    if (int overlay = OverlayOf(node.ShellAttributes); overlay > 0)
        TreeView_SetItemState(tree, node.Item, INDEXTOOVERLAYMASK(overlay), TVIS_OVERLAYMASK);
    if (ShownChildren(node) != childrenBefore) {
        // The tree may keep the first answer; it is told to ask again.
        TVITEMW it{};
        it.mask = TVIF_CHILDREN | TVIF_HANDLE;
        it.hItem = node.Item;
        it.cChildren = I_CHILDRENCALLBACK;
        ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    }
    if (ShownIconIndex(node, open) != iconBefore || ShownChildren(node) != childrenBefore) {
        RECT row{};
        std::memcpy(&row, &node.Item, sizeof(node.Item));   // the message takes the item in the rectangle
        if (::SendMessageW(tree, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&row)))
            ::InvalidateRect(tree, &row, FALSE);
    }
    // Opened or closed while the question was out: the icon it shows now is asked for too.
    if (open != answered.open && !(open ? node.OpenIconLooked : node.ClosedIconLooked))
        QueueRefine(node);
}

void TDrawTreeForm::VDT1GetDispInfo(NMTVDISPINFOW& info)
{
    auto* node = reinterpret_cast<TShellObjectData*>(info.item.lParam);
    if (!node)
        return;
    if (!node->Initialised)
        VDT1InitNode(*node);
    // Answered from what is known now; what the shell still has to tell comes later.
    if (info.item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
        bool open = (info.item.state & TVIS_EXPANDED) != 0;
        int index = ShownIconIndex(*node, open);
        info.item.iImage = index;
        info.item.iSelectedImage = index;
        if (!(open ? node->OpenIconLooked : node->ClosedIconLooked) || !node->ShellAsked)
            QueueRefine(*node);
    }
    if (info.item.mask & TVIF_CHILDREN) {
        info.item.cChildren = ShownChildren(*node);
        if (node->HasChildren < 0)
            QueueRefine(*node);
    }
}

// Starts the folder's search; ListingDone adds its entries and opens the node.
void TDrawTreeForm::VDT1InitChildren(TShellObjectData& node)
{
    if (node.Listing)
        return;
    node.Listing = true;
    ++listingsOut_;
    FolderListing listing;
    listing.node = &node;
    listing.path = node.Path;
    listing.direction = direction_;
    work_->List(std::move(listing));
    WatchWork();
}

void TDrawTreeForm::TakeListed()
{
    for (FolderListing& listing : work_->TakeListed())
        ListingDone(listing);
}

void TDrawTreeForm::ListingDone(FolderListing& listing)
{
    TShellObjectData& node = *listing.node;
    node.Listing = false;
    node.Listed = true;
    --listingsOut_;
    // Paths in one folder differ, so the other direction is exactly the reverse order.
    if (listing.direction != direction_)
        std::reverse(listing.entries.begin(), listing.entries.end());
    PendingFill fill{&node, std::move(listing.entries)};
    const bool empty = fill.entries.empty();
    const std::size_t all = fill.entries.size();
    AddChildren(fill, all <= kFillSlice ? all : kFirstFill);
    if (fill.next < all) {
        fills_.push_back(std::move(fill));
        KeepFilling();
    }
    HWND tree = VDT1();
    if (empty) {
        // Nothing inside after all: the node loses its expand button.
        node.HasChildren = 0;
        TVITEMW it{};
        it.mask = TVIF_CHILDREN | TVIF_HANDLE;
        it.hItem = node.Item;
        it.cChildren = 0;
        ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    } else {
        ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node.Item));
    }
    if (listingsOut_ == 0) {
        // The arrow again at once, not at the next move of the mouse.
        POINT at{};
        ::GetCursorPos(&at);
        HWND under = ::WindowFromPoint(at);
        if (under == hwnd_ || ::IsChild(hwnd_, under))
            ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
}

void TDrawTreeForm::AddChildren(PendingFill& fill, std::size_t count)
{
    const std::size_t end = std::min(fill.entries.size(), fill.next + count);
    if (fill.next >= end)
        return;
    // Under a closed node an entry costs the tree nothing until the node opens; under an
    // open one, drawing waits until the whole slice is in.
    HWND tree = VDT1();
    std::optional<ui::RedrawPause> pause;
    if (TreeView_GetItemState(tree, fill.node->Item, TVIS_EXPANDED) & TVIS_EXPANDED)
        pause.emplace(tree);
    for (; fill.next < end; ++fill.next) {
        ListedEntry& entry = fill.entries[fill.next];
        TShellObjectData child;
        child.Path = std::move(entry.path);
        child.ShownName = ui::FromUtf8(entry.name);   // the search's name: no path to take apart
        child.ShellAttributes = entry.shellAttributes;
        AddNode(fill.node->Item, std::move(child));
    }
}

// One slice of the oldest folder still filling.
void TDrawTreeForm::FillSome()
{
    if (!fills_.empty()) {
        PendingFill& fill = fills_.front();
        AddChildren(fill, kFillSlice);
        if (fill.next >= fill.entries.size())
            fills_.pop_front();
    }
    if (!fills_.empty())
        KeepFilling();
    else
        StopFilling();
}

// Everything still to come, added now: the tree sorts only what it holds.
void TDrawTreeForm::FinishFills()
{
    for (PendingFill& fill : fills_)
        AddChildren(fill, fill.entries.size());
    fills_.clear();
    StopFilling();
}

std::size_t TDrawTreeForm::PendingEntries() const
{
    std::size_t pending = 0;
    for (const PendingFill& fill : fills_)
        pending += fill.entries.size() - fill.next;
    return pending;
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
    FinishFills();
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
