// TDrawTreeForm's folder listings, and how a listed folder's entries go into the tree.
#include "files/DrawTreeDemo.h"

#include "platform/ui/Text.h"

#include <algorithm>
#include <optional>

namespace tw {

// Starts the folder's search; ListingDone adds its entries and opens the node.
void TDrawTreeForm::VDT1InitChildren(TShellObjectData& node)
{
    if (node.Listing)
        return;
    node.Listing = true;
    if (listingsOut_++ == 0) {
        listingSince_ = PickerWork::Clock::now();
        work_->HoldAsking(true);   // let go by AskWaiting, once the folder is in the tree
    }
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
    // Names in one folder differ, and so do their keys but in the rarest case: the other
    // direction is the reverse order.
    if (listing.direction != direction_)
        std::reverse(listing.entries.begin(), listing.entries.end());
    PendingFill fill{&node, std::move(listing.entries)};
    const bool empty = fill.entries.empty();
    const std::size_t all = fill.entries.size();
    AddChildren(fill, all <= kAtOnce ? all : kFirstFill);
    const bool more = fill.next < all;
    if (more)
        fills_.push_back(std::move(fill));
    HWND tree = VDT1();
    if (empty) {
        // Nothing inside after all: the node loses its expand button.
        node.HasChildren = 0;
        ui::TvSetChildren(tree, node.Item, 0);
    } else {
        ui::TvExpand(tree, node.Item);
    }
    // After the node opened, so that its first entries show before the rest goes in.
    if (more)
        KeepFilling();
    if (listingsOut_ == 0) {
        AskSoon();
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
    bool unseen = false;
    if (ui::TvIsExpanded(tree, fill.node->Item)) {
        // Whatever waits to be painted already (a posted tick comes ahead of a paint) is kept.
        unseen = BelowView(fill.last) && !::GetUpdateRect(tree, nullptr, FALSE);
        pause.emplace(tree);
    }
    for (; fill.next < end; ++fill.next) {
        ListedEntry& entry = fill.entries[fill.next];
        TShellObjectData child;
        child.Path = std::move(entry.path);
        child.SortKey = std::move(entry.sortKey);
        child.ShownName = ui::FromUtf8(entry.name);   // the search's name: no path to take apart
        child.ShellAttributes = entry.shellAttributes;
        if (HTREEITEM item = AddNode(fill.node->Item, std::move(child)))
            fill.last = item;
    }
    pause.reset();
    // Entries that go in after one below the view change nothing on the screen but the
    // scroll bar, which the tree has already redrawn: the tree is not painted again for each
    // slice of a folder of thousands, only when a slice reaches what is shown.
    if (unseen)
        ::ValidateRect(tree, nullptr);
}

// True only when the tree says where `item` is and that is below what it shows.
bool TDrawTreeForm::BelowView(HTREEITEM item) const
{
    if (!item)
        return false;
    RECT row = ui::TvGetItemRect(VDT1(), item, false);
    RECT client{};
    ::GetClientRect(VDT1(), &client);
    return row.bottom > row.top && row.top >= client.bottom;
}

// What the last slice brought into view is shown first; then the next slice comes at once
// while no input waits and no other window of ours is to be painted, else on the timer, whose
// message comes after those. Without a timer to be had, a posted tick still gets the work
// done, ahead of input.
void TDrawTreeForm::KeepFilling()
{
    if (fillPosted_)
        return;
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (!HIWORD(::GetQueueStatus(QS_INPUT | QS_PAINT)) && ::PostMessageW(hwnd_, kFillMessage, 0, 0)) {
        fillPosted_ = true;
        StopFilling();
        return;
    }
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

// One slice of the oldest folder still filling.
void TDrawTreeForm::FillSome()
{
    if (!fills_.empty()) {
        PendingFill& fill = fills_.front();
        AddChildren(fill, std::clamp(fill.next, kFillSlice, kLargestSlice));
        if (fill.next >= fill.entries.size())
            fills_.pop_front();
    }
    if (!fills_.empty()) {
        KeepFilling();
    } else {
        StopFilling();
        AskAfterNow();
    }
}

// Everything still to come, added now: the tree sorts only what it holds.
void TDrawTreeForm::FinishFills()
{
    if (fills_.empty())
        return;
    for (PendingFill& fill : fills_)
        AddChildren(fill, fill.entries.size());
    fills_.clear();
    StopFilling();
    AskAfterNow();
}

std::size_t TDrawTreeForm::PendingEntries() const
{
    std::size_t pending = 0;
    for (const PendingFill& fill : fills_)
        pending += fill.entries.size() - fill.next;
    return pending;
}

} // namespace tw
