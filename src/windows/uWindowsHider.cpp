#include "windows/uWindowsHider.h"

#include "platform/WideText.h"
#include "windows/uHiddenRecord.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace tw {

namespace {
// GetWindowTextW's count includes the terminating NUL: 255 leaves 254 characters.
constexpr int kTitleBufferSize = 255;

// The window's title; empty when it has none or it cannot be read.
std::u16string ReadTitle(WindowApi& api, Hwnd w)
{
    char16_t title[kTitleBufferSize]{};
    int length = api.GetWindowTextW(w, title, kTitleBufferSize);
    return std::u16string(title, static_cast<std::size_t>(std::clamp(length, 0, kTitleBufferSize - 1)));
}
} // namespace

TWindow::TWindow(WindowApi& api, Hwnd handle, std::string caption, std::string bossKeyText, THiddenRecord* record)
    : Handle(handle), Caption(std::move(caption)), BossKeyText(std::move(bossKeyText)), api_(api), record_(record)
{
}

void TWindow::SetTitle(std::u16string_view wide)
{
    Title = Utf8FromUtf16(wide);
    Caption = api_.AnsiForm(wide);
}

bool TWindow::IsVisible() const { return api_.IsWindowVisible(Handle); }

bool TWindow::IsOutOfReach() const
{
    // A level that cannot be read says nothing: such a window is asked as any other.
    std::uint32_t pid = api_.GetWindowProcessId(Handle);
    if (pid == 0)
        return false;
    std::optional<std::uint32_t> theirs = api_.IntegrityLevel(pid);
    std::optional<std::uint32_t> ours = api_.IntegrityLevel(0);
    return theirs && ours && *theirs > *ours;
}

void TWindow::SettleRequest()
{
    if (asked_)
        WillBeVisible();
}

bool TWindow::WillBeVisible()
{
    bool visible = api_.IsWindowVisible(Handle);
    // Once the window has done as asked, what its own program does with it counts again.
    if (asked_ && *asked_ == visible)
        asked_.reset();
    return asked_.value_or(visible);
}

void TWindow::HideWindow()
{
    // Minimising first takes the window off the screen the way the user knows, and its
    // taskbar button with it; hiding then removes what minimising leaves behind. Both are
    // queued to the window's thread in this order.
    api_.ShowWindowAsync(Handle, ShowCmd::Minimize);
    api_.ShowWindowAsync(Handle, ShowCmd::Hide);
}

void TWindow::RestoreWindow() { api_.ShowWindowAsync(Handle, ShowCmd::Restore); }

void TWindow::SetShown(bool show)
{
    // A destroyed window's handle may one day name another program's window; an entry
    // whose window is gone is left alone until the next refresh drops it.
    if (!api_.IsWindow(Handle)) {
        if (show)
            Forget();
        return;
    }
    // Ours, and on disk, before it disappears: should the program die the next moment (a
    // fault on another thread, say) its crash handler and the next start still know it. A
    // window already hidden (by its own program, say) is not ours to hide, nor to give back;
    // one whose hide we asked for and its thread has not yet carried out is ours already.
    if (!show) {
        if (!WillBeVisible() || IsOutOfReach())
            return;
        if (record_)
            record_->AddWindows({Handle});
        HiddenByUs = true;
    }
    asked_ = show;
    try {
        if (show)
            RestoreWindow();
        else
            HideWindow();
    } catch (...) {
        // One window that cannot be shown must not stop the others being restored.
    }
    // A request carried out at once is settled now, so that what the window's own program
    // does next counts as its own.
    WillBeVisible();
    if (show)
        Forget();
}

void TWindow::Forget()
{
    HiddenByUs = false;
    if (record_)
        record_->RemoveWindows({Handle});
}

TWindow* TWindowList::FindByHandle(Hwnd handle)
{
    for (auto& item : items_)
        if (item->Handle == handle)
            return item.get();
    return nullptr;
}

bool TWindowList::Contains(const TWindow* entry) const
{
    return entry && std::any_of(items_.begin(), items_.end(),
                                [entry](const auto& item) { return item.get() == entry; });
}

TWindow& TWindowList::AddWindow(Hwnd handle, std::string caption, std::string bossKeyText)
{
    items_.push_back(std::make_unique<TWindow>(api_, handle, std::move(caption), std::move(bossKeyText), record_));
    return *items_.back();
}

void TWindowList::RefreshWindows(Hwnd ownWindow)
{
    THiddenRecord::Batch batch(record_);
    std::unordered_set<Hwnd> met;
    int steps = 0;
    for (Hwnd w = api_.GetFirstSibling(ownWindow); w != 0 && steps < kMaxWalkSteps;
         w = api_.GetNextSibling(w), ++steps) {
        // A window met again means the order changed under us; what the walk missed, the
        // next refresh finds.
        if (!met.insert(w).second)
            break;
        if (w == ownWindow)
            continue;
        std::u16string title = ReadTitle(api_, w);
        if (title.empty())
            continue;
        if (TWindow* known = FindByHandle(w)) {
            known->SetTitle(title);      // hidden or not: we still owe it back
            known->SettleRequest();
        }
        else if (api_.IsWindowVisible(w))
            AddWindow(w, std::string(), std::string()).SetTitle(title);
    }

    // A window the walk met exists; only the others are asked, which spares the system a
    // question per listed window (a destroyed window's handle is met only once it names a
    // new window, and then it exists too).
    for (std::size_t i = items_.size(); i-- > 0;)
        if (!met.count(items_[i]->Handle) && !api_.IsWindow(items_[i]->Handle)) {
            items_[i]->Forget();
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        }
}

int CompareCaptions(const std::string& a, const std::string& b)
{
    std::size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;   // memcmp compares as unsigned char
    if (c == 0)
        c = a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TWindowList::SortByCaption()
{
    std::stable_sort(items_.begin(), items_.end(), [](const auto& x, const auto& y) {
        return CompareCaptions(x->Caption, y->Caption) < 0;
    });
}

void TWindowList::ToggleByHotKey(std::uint16_t id)
{
    // Every entry with this id toggles: two windows may share one boss key. Entries without
    // a boss key hold 0, which is therefore no hot key's id.
    if (id == 0)
        return;
    for (auto& item : items_)
        if (item->HotKeyId == id)
            item->SetShown(!item->WillBeVisible());
}

void TWindowList::RestoreHidden()
{
    THiddenRecord::Batch batch(record_);
    for (auto& item : items_) {
        if (!item->HiddenByUs)
            continue;
        // A window whose hide is still queued counts as hidden: it will be, once its thread
        // runs, even after we are gone.
        if (item->WillBeVisible())
            item->Forget();   // someone showed it already: nothing to give back
        else
            item->SetShown(true);
    }
}

void TWindowList::AdoptRecorded()
{
    if (!record_)
        return;
    std::vector<Hwnd> stale;
    for (const RecordedWindow& recorded : std::vector<RecordedWindow>(record_->Windows())) {
        if (FindByHandle(recorded.handle))
            continue;
        // A handle that now names anything else, or a window that is back on screen, is
        // never touched: only forgotten.
        if (!record_->IsSameWindow(recorded) || api_.IsWindowVisible(recorded.handle)) {
            stale.push_back(recorded.handle);
            continue;
        }
        TWindow& entry = AddWindow(recorded.handle, std::string(), std::string());
        entry.SetTitle(ReadTitle(api_, recorded.handle));
        entry.Selected = true;
        entry.HiddenByUs = true;
    }
    record_->RemoveWindows(stale);
}

void TWindowList::RecordHiding(const std::vector<TWindow*>& entries)
{
    if (!record_)
        return;
    std::vector<Hwnd> handles;
    for (TWindow* entry : entries)
        if (Contains(entry) && api_.IsWindow(entry->Handle))
            handles.push_back(entry->Handle);
    record_->AddWindows(handles);
}

} // namespace tw
