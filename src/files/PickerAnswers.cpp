// TDrawTreeForm's questions to the shell about drawn nodes, and what is done with the answers.
#include "files/DrawTreeDemo.h"

namespace tw {

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
    q.open = ui::TvIsExpanded(VDT1(), node.Item);
    q.askAttributes = !node.ShellAsked;
    q.askIcon = !(q.open ? node.OpenIconLooked : node.ClosedIconLooked);
    q.askChildren = node.HasChildren < 0;
    q.attributes = node.ShellAttributes;
    if (!q.askAttributes && !q.askIcon && !q.askChildren)
        return;
    node.Refining = true;
    ++asked_;
    toAsk_.push_back(std::move(q));
    AskSoon();
}

// The shell's questions wait while a folder is searched (though not behind a search held by a
// call that does not come back) and while a listed folder still goes into the tree: both take
// the processor the shell would, and the folder is what the user is waiting for.
bool TDrawTreeForm::AskingHeld() const
{
    if (!fills_.empty())
        return true;
    return listingsOut_ > 0 && PickerWork::Clock::now() - listingSince_ < kWorkStuckAfter;
}

void TDrawTreeForm::AskSoon()
{
    if (!askTimer_)
        askTimer_ = ::SetTimer(hwnd_, kAskTimer, kAskAfterMs, nullptr) != 0;
    // No timer to be had: asked at once rather than never, or, while held, once the listing
    // or the fill that holds them ends (each asks again then).
    if (!askTimer_ && !AskingHeld())
        AskWaiting();
}

// What was just drawn gets its kAskAfterMs before the shell is asked.
void TDrawTreeForm::AskAfterNow()
{
    if (askTimer_) {
        ::KillTimer(hwnd_, kAskTimer);
        askTimer_ = false;
    }
    AskSoon();
}

void TDrawTreeForm::AskWaiting()
{
    if (askTimer_) {
        ::KillTimer(hwnd_, kAskTimer);
        askTimer_ = false;
    }
    if (AskingHeld()) {
        AskSoon();
        return;
    }
    work_->HoldAsking(false);
    std::vector<ShellQuestion> questions;
    questions.swap(toAsk_);
    for (ShellQuestion& q : questions)
        work_->Ask(std::move(q));
    if (!questions.empty())
        WatchWork();
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
    bool open = ui::TvIsExpanded(tree, node.Item);
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
    ShowOverlay(node);
    // The tree may keep the first answer; it is told to ask again.
    if (ShownChildren(node) != childrenBefore)
        ui::TvSetChildren(tree, node.Item, I_CHILDRENCALLBACK);
    if (ShownIconIndex(node, open) != iconBefore || ShownChildren(node) != childrenBefore)
        InvalidateRow(node.Item);
    // Opened or closed while the question was out: the icon it shows now is asked for too.
    if (open != answered.open && !(open ? node.OpenIconLooked : node.ClosedIconLooked))
        QueueRefine(node);
}

} // namespace tw
