#include "windows/uWindowsHider.h"

#include "platform/WideText.h"
#include "record/uHiddenRecord.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
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

// The system's own input and settings surfaces: visible, but never on any screen as a
// window the user could pick.
bool IsSystemSurface(WindowApi& api, Hwnd w) { return api.ClassName(w) == "Windows.UI.Core.CoreWindow"; }
// The window's program runs at a higher integrity level than ours. A level that cannot be
// read says nothing: such a window is asked as any other.
bool AboveUs(WindowApi& api, Hwnd w)
{
    std::uint32_t pid = api.GetWindowProcessId(w);
    if (pid == 0)
        return false;
    std::optional<std::uint32_t> theirs = api.IntegrityLevel(pid);
    std::optional<std::uint32_t> ours = api.IntegrityLevel(0);
    return theirs && ours && *theirs > *ours;
}
} // namespace

TWindow::TWindow(WindowApi& api, Hwnd handle, std::string caption, std::string bossKeyText, THiddenRecord* record)
    : TBossKey{std::move(bossKeyText)}, Handle(handle), Caption(std::move(caption)), api_(api), record_(record)
{
}

void TWindow::SetTitle(std::u16string_view wide)
{
    Title = Utf8FromUtf16(wide);
    Caption = api_.AnsiForm(wide);
}

bool TWindow::IsVisible() const { return api_.IsWindowVisible(Handle); }

bool TWindow::IsOutOfReach() const { return AboveUs(api_, Handle); }

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

bool TWindow::HideWindow()
{
    // Minimising first takes the window off the screen the way the user knows, and its
    // taskbar button with it; hiding then removes what minimising leaves behind. Both are
    // queued to the window's thread in this order.
    bool minimised = api_.ShowWindowAsync(Handle, ShowCmd::Minimize);
    bool hidden = api_.ShowWindowAsync(Handle, ShowCmd::Hide);
    return minimised || hidden;
}

bool TWindow::RestoreWindow() { return api_.ShowWindowAsync(Handle, ShowCmd::Restore); }

bool TWindow::SetShown(bool show)
{
    // A destroyed window's handle may one day name another program's window; an entry
    // whose window is gone is left alone until the next refresh drops it.
    if (!api_.IsWindow(Handle)) {
        if (show)
            Forget();
        return true;
    }
    const bool wasOurs = HiddenByUs;
    // Ours, and on disk, before it disappears: should the program die the next moment (a
    // fault on another thread, say) its crash handler and the next start still know it. A
    // window already hidden (by its own program, say) is not ours to hide, nor to give back,
    // and an earlier step that recorded it was wrong; one whose hide we asked for and its
    // thread has not yet carried out is ours already.
    if (!show) {
        if (!WillBeVisible() || IsOutOfReach()) {
            if (!HiddenByUs && record_)
                record_->RemoveWindows({Handle});
            return true;
        }
        if (record_)
            record_->AddWindows({Handle});
        HiddenByUs = true;
    }
    bool queued = false;
    try {
        queued = show ? RestoreWindow() : HideWindow();
    } catch (...) {
        // One window that cannot be shown must not stop the others being restored.
    }
    if (!queued) {
        // Nothing reached the window, so nothing changed: what we owed, we still owe.
        if (!show && !wasOurs)
            Forget();
        return false;
    }
    asked_ = show;
    restoreAsked_ = show;
    seenBack_ = false;
    // A request carried out at once is settled now, so that what the window's own program
    // does next counts as its own.
    WillBeVisible();
    if (show)
        SettleRestore(false);
    return true;
}

TWindow::Restore TWindow::SettleRestore(bool judge)
{
    if (!RestorePending())
        return Restore::Back;
    if (!api_.IsWindow(Handle)) {
        Forget();
        return Restore::Back;
    }
    // Seen on screen at two looks in a row (or at the last one): a program that hides its
    // window again the moment it is shown shows it only for an instant, and has not given
    // it back to the user.
    if (api_.IsWindowVisible(Handle)) {
        if (!seenBack_ && !judge) {
            seenBack_ = true;
            return Restore::Waiting;
        }
        Forget();
        return Restore::Back;
    }
    seenBack_ = false;
    // Still hidden although its thread reads its messages: the request was refused, or its
    // program hid the window again. It stays ours, so the next restore tries again.
    if (judge && api_.IsResponding(Handle)) {
        asked_.reset();
        restoreAsked_ = false;
        return Restore::Refused;
    }
    return Restore::Waiting;
}

void TWindow::Forget()
{
    HiddenByUs = false;
    restoreAsked_ = false;
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

bool TWindowList::HoldsHotKey(std::uint16_t id) const
{
    return std::any_of(items_.begin(), items_.end(), [id](const auto& item) { return item->HotKeyId == id; });
}

TWindow& TWindowList::AddWindow(Hwnd handle, std::string caption, std::string bossKeyText)
{
    std::map<std::uint32_t, std::uint64_t> created;
    return AddListed(handle, std::move(caption), std::move(bossKeyText), created);
}

TWindow& TWindowList::AddListed(Hwnd handle, std::string caption, std::string bossKeyText,
                                std::map<std::uint32_t, std::uint64_t>& created)
{
    items_.push_back(std::make_unique<TWindow>(api_, handle, std::move(caption), std::move(bossKeyText), record_));
    TWindow& entry = *items_.back();
    entry.Pid = api_.GetWindowProcessId(handle);
    entry.Created = CreationTime(entry.Pid, created);
    return entry;
}

std::uint64_t TWindowList::CreationTime(std::uint32_t pid, std::map<std::uint32_t, std::uint64_t>& created)
{
    // Asked once per process and walk: most windows share a handful of processes.
    auto [it, isNew] = created.try_emplace(pid, 0);
    if (isNew && identity_ && pid != 0)
        it->second = identity_->ProcessCreationTime(pid);
    return it->second;
}

bool TWindowList::SameOwner(const TWindow& entry, Hwnd w, std::map<std::uint32_t, std::uint64_t>& created)
{
    std::uint32_t pid = api_.GetWindowProcessId(w);
    return pid == entry.Pid && (!identity_ || CreationTime(pid, created) == entry.Created);
}

void TWindowList::Drop(std::size_t index)
{
    items_[index]->Forget();
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TWindowList::RefreshWindows(Hwnd ownWindow, bool askShell)
{
    THiddenRecord::Batch batch(record_);
    std::unordered_set<Hwnd> met;
    std::map<std::uint32_t, std::uint64_t> created;
    std::vector<Fresh> fresh;
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
        TWindow* known = FindByHandle(w);
        // The handle now names another program's window: the one we knew is gone, with its
        // tick, its boss key and anything we owed it.
        if (known && !SameOwner(*known, w, created)) {
            for (std::size_t i = 0; i < items_.size(); ++i)
                if (items_[i].get() == known)
                    Drop(i);
            known = nullptr;
        }
        if (known) {
            known->SetTitle(title);      // hidden or not: we still owe it back
            known->SettleRequest();
            known->SettleRestore(false);
        } else if (api_.IsWindowVisible(w) && !IsSystemSurface(api_, w)) {
            fresh.push_back({w, std::move(title), api_.IsCloaked(w).value_or(false)});
        }
    }

    ListFresh(fresh, created, askShell);

    // A window the walk met exists; only the others are asked, which spares the system a
    // question per listed window (a destroyed window's handle is met only once it names a
    // new window, and then it exists too).
    for (std::size_t i = items_.size(); i-- > 0;)
        if (!met.count(items_[i]->Handle) && !api_.IsWindow(items_[i]->Handle))
            Drop(i);
}

void TWindowList::ListFresh(const std::vector<Fresh>& fresh, std::map<std::uint32_t, std::uint64_t>& created,
                            bool askShell)
{
    // A visible window counts when the user can find it somewhere: on the screen, or on
    // another virtual desktop (real, and it may need hiding). Suspended Store apps' frames
    // are visible too but kept off every screen by the window manager, and would be rows the
    // user cannot see anywhere. The window manager's reason for a cloak does not tell the two
    // apart (it says DWM_CLOAKED_SHELL of both), so the virtual-desktop manager is asked,
    // about the cloaked ones only, in one question with a bounded wait. One it has not placed
    // in time is left out now and asked about again by the next refresh. Where the window
    // manager cannot be asked (Windows 7), every visible window counts.
    std::vector<Hwnd> cloaked;
    for (const Fresh& f : fresh)
        if (f.cloaked)
            cloaked.push_back(f.handle);
    const std::vector<std::optional<bool>> placed =
        askShell ? desktops_.Ask(cloaked) : std::vector<std::optional<bool>>(cloaked.size());
    std::size_t answer = 0;
    for (const Fresh& f : fresh)
        if (!f.cloaked || placed[answer++].value_or(false))
            AddListed(f.handle, std::string(), std::string(), created).SetTitle(f.title);
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

std::vector<TWindow*> TWindowList::ToggleByHotKey(std::uint16_t id)
{
    // Every entry with this id toggles: two windows may share one boss key. Entries without
    // a boss key hold 0, which is therefore no hot key's id.
    if (id == 0)
        return {};
    std::vector<TWindow*> hide;
    std::vector<TWindow*> show;
    for (auto& item : items_)
        if (item->HotKeyId == id)
            (item->WillBeVisible() ? hide : show).push_back(item.get());
    RecordHiding(hide);
    for (TWindow* item : hide)
        item->SetShown(false);
    return Restore(std::move(show));
}

std::vector<TWindow*> TWindowList::Restore(std::vector<TWindow*> entries)
{
    // Those we hid, front first; the others (on screen already) keep their order, after them.
    // A handful of windows: sorted by insertion, which keeps equals in place.
    auto rank = [](const TWindow* e) { return e->HiddenByUs && e->HideRank != 0 ? e->HideRank : UINT64_MAX; };
    for (std::size_t i = 1; i < entries.size(); ++i)
        for (std::size_t j = i; j > 0 && rank(entries[j]) < rank(entries[j - 1]); --j)
            std::swap(entries[j], entries[j - 1]);
    // Each restore brings its window to the front as its thread carries it out, so the one
    // that belongs in front goes last; each placement is queued behind its window's restore.
    std::vector<TWindow*> refused;
    restored_.clear();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        TWindow* entry = *it;
        const bool wasHidden = entry->HiddenByUs && !entry->WillBeVisible();
        if (!entry->SetShown(true))
            refused.push_back(entry);
        else if (wasHidden)
            restored_.insert(restored_.begin(), entry->Handle);
    }
    for (std::size_t i = 1; i < restored_.size(); ++i)
        api_.PlaceBehind(restored_[i], restored_[i - 1]);
    if (!restored_.empty())
        api_.Activate(restored_.front());
    return refused;
}

TWindow* TWindowList::TickFront(Hwnd ownWindow)
{
    const Hwnd foreground = api_.GetForegroundWindow();
    if (foreground == 0)
        return nullptr;
    Hwnd w = api_.RootOwner(foreground);
    if (w == 0)
        w = foreground;
    // The desktop and the taskbars are the shell's, not a window the user works in; hiding
    // them would leave the user without a way back.
    static constexpr const char* kShellClasses[] = {"Progman", "WorkerW", "Shell_TrayWnd", "Shell_SecondaryTrayWnd"};
    const std::string cls = api_.ClassName(w);
    if (std::any_of(std::begin(kShellClasses), std::end(kShellClasses), [&cls](const char* c) { return cls == c; }))
        return nullptr;
    const std::uint32_t pid = api_.GetWindowProcessId(w);
    if (pid == 0 || pid == api_.GetWindowProcessId(ownWindow) || !api_.IsWindowVisible(w))
        return nullptr;
    TWindow* entry = FindByHandle(w);
    std::map<std::uint32_t, std::uint64_t> created;
    // The handle now names another program's window: the entry we had for it goes.
    if (entry && !SameOwner(*entry, w, created)) {
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (items_[i].get() == entry)
                Drop(i);
        entry = nullptr;
    }
    // The system would drop our requests to it without a word.
    if (AboveUs(api_, w))
        return nullptr;
    if (!entry) {
        entry = &AddListed(w, std::string(), std::string(), created);
        entry->SetTitle(ReadTitle(api_, w));
    }
    entry->Selected = true;
    return entry;
}

std::vector<TWindow*> TWindowList::RestoreHidden()
{
    THiddenRecord::Batch batch(record_);
    std::vector<TWindow*> hidden;
    for (auto& item : items_) {
        if (!item->HiddenByUs)
            continue;
        // A window whose hide is still queued counts as hidden: it will be, once its thread
        // runs, even after we are gone.
        if (item->WillBeVisible()) {
            // Back on screen: asked for already (asking again would take a maximised window
            // out of its state), or shown by someone else, and then nothing to give back.
            if (!item->RestorePending())
                item->Forget();
            continue;
        }
        hidden.push_back(item.get());
    }
    return Restore(std::move(hidden));
}

bool TWindowList::HasPendingRestores() const
{
    return std::any_of(items_.begin(), items_.end(), [](const auto& item) { return item->RestorePending(); });
}

std::vector<TWindow*> TWindowList::SettleRestores(bool judge)
{
    THiddenRecord::Batch batch(record_);
    std::vector<TWindow*> refused;
    for (auto& item : items_)
        if (item->SettleRestore(judge) == TWindow::Restore::Refused)
            refused.push_back(item.get());
    // Restores run on their windows' own threads, in no set order: one behind may have
    // taken the foreground after ours was given it. Once the front one is back, it has it.
    if (!restored_.empty()) {
        const Hwnd front = restored_.front();
        TWindow* entry = FindByHandle(front);
        if (!entry || !entry->RestorePending()) {
            const Hwnd now = api_.GetForegroundWindow();
            if (entry && now != front && api_.IsWindowVisible(front) &&
                std::find(restored_.begin(), restored_.end(), now) != restored_.end())
                api_.Activate(front);
            restored_.clear();
        }
    }
    return refused;
}

std::optional<std::unordered_set<Hwnd>> TWindowList::TopLevelWindows()
{
    std::unordered_set<Hwnd> met;
    int steps = 0;
    Hwnd w = api_.GetFirstSibling(0);
    for (; w != 0 && steps < kMaxWalkSteps; w = api_.GetNextSibling(w), ++steps)
        if (!met.insert(w).second)
            return std::nullopt;   // the order changed under the walk: it may have missed some
    if (w != 0)
        return std::nullopt;
    return met;
}

void TWindowList::AdoptRecorded()
{
    if (!record_)
        return;
    // Every window we hide is a top-level window, so one that a walk of them does not meet
    // is gone. Past a few lines, one walk is far cheaper than asking the system about each
    // (a record left by many killed runs, or a damaged one, may hold thousands).
    constexpr std::size_t kAskEachUpTo = 32;
    std::optional<std::unordered_set<Hwnd>> existing;
    if (record_->Windows().size() > kAskEachUpTo)
        existing = TopLevelWindows();
    std::vector<Hwnd> stale;
    std::unordered_set<Hwnd> seen;
    std::unordered_map<Hwnd, TWindow*> listedBy;
    for (const auto& item : items_)
        listedBy.emplace(item->Handle, item.get());
    for (const RecordedWindow& recorded : std::vector<RecordedWindow>(record_->Windows())) {
        if (!seen.insert(recorded.handle).second)
            continue;
        // Listed already by a refresh that came first (the start fills the page before the
        // record is read): judged by the same rules, and adopted into its entry. One we hid in
        // this run is ours already.
        auto found = listedBy.find(recorded.handle);
        TWindow* listed = found == listedBy.end() ? nullptr : found->second;
        if (listed && listed->HiddenByUs)
            continue;
        if (existing && !existing->count(recorded.handle)) {
            stale.push_back(recorded.handle);
            continue;
        }
        // A handle that now names anything else, or a window that is back on screen, is
        // never touched: only forgotten. So is a window hidden but not minimised: our hide
        // leaves it minimised, so its own program has shown it since and hidden it again
        // (gone to its tray, say), and it is that program's to show.
        if (!record_->IsSameWindow(recorded) || api_.IsWindowVisible(recorded.handle) ||
            !api_.IsIconic(recorded.handle)) {
            stale.push_back(recorded.handle);
            continue;
        }
        TWindow& entry = listed ? *listed : AddWindow(recorded.handle, std::string(), std::string());
        entry.SetTitle(ReadTitle(api_, recorded.handle));
        entry.Pid = recorded.pid;
        entry.Created = recorded.created;
        entry.Selected = true;
        entry.HiddenByUs = true;
    }
    record_->RemoveWindows(stale);
}

void TWindowList::RecordHiding(const std::vector<TWindow*>& entries)
{
    std::vector<TWindow*> hiding;
    std::vector<Hwnd> handles;
    for (TWindow* entry : entries)
        if (Contains(entry) && api_.IsWindow(entry->Handle) && entry->WillBeVisible() && !entry->IsOutOfReach()) {
            hiding.push_back(entry);
            handles.push_back(entry->Handle);
        }
    NoteStacking(hiding);
    if (record_)
        record_->AddWindows(handles);
}

void TWindowList::NoteStacking(const std::vector<TWindow*>& entries)
{
    if (entries.empty())
        return;
    // One walk from the front; a window the walk does not meet (the order changed under it)
    // ranks behind those it met, in the order asked.
    std::vector<TWindow*> ranked;
    std::unordered_set<Hwnd> met;
    int steps = 0;
    for (Hwnd w = api_.GetFirstSibling(0); w != 0 && steps < kMaxWalkSteps && ranked.size() < entries.size();
         w = api_.GetNextSibling(w), ++steps) {
        if (!met.insert(w).second)
            break;
        for (TWindow* entry : entries)
            if (entry->Handle == w && std::find(ranked.begin(), ranked.end(), entry) == ranked.end())
                ranked.push_back(entry);
    }
    for (TWindow* entry : entries)
        if (std::find(ranked.begin(), ranked.end(), entry) == ranked.end())
            ranked.push_back(entry);
    for (TWindow* entry : ranked)
        entry->HideRank = nextRank_++;
}

std::optional<std::string> TWindowList::ProgramOf(const TWindow& entry)
{
    if (!identity_ || entry.Pid == 0)
        return std::nullopt;
    return identity_->ProcessImagePath(entry.Pid);
}

bool TWindowList::TickPrograms(const std::function<bool(const std::string& exe)>& ticked)
{
    // Most windows share a handful of processes: each is asked once.
    std::map<std::uint32_t, bool> answers;
    bool any = false;
    for (auto& item : items_) {
        if (item->Selected)
            continue;
        auto [it, isNew] = answers.try_emplace(item->Pid, false);
        if (isNew) {
            std::optional<std::string> exe = ProgramOf(*item);
            it->second = exe && !exe->empty() && ticked(*exe);
        }
        if (it->second) {
            item->Selected = true;
            any = true;
        }
    }
    return any;
}

} // namespace tw
