// The record of other programs' top-level windows, and the program's only two window
// operations: hide (minimise, then hide) and restore.
//
// An entry outlives every refresh while its handle is valid: a window the program hid is
// invisible, so the desktop alone would no longer tell us about it. This list is how the
// program remembers what it has to give back.
#pragma once

#include "hotkeys/BossKey.h"
#include "platform/Platform.h"
#include "windows/uVirtualDesktops.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tw {

class THiddenRecord;

// The boss key is the window's own: it toggles this window alone.
class TWindow : public TBossKey {
public:
    // `record`, when given, learns of every hide before it happens and of every restore
    // once the window is seen back.
    TWindow(WindowApi& api, Hwnd handle, std::string caption, std::string bossKeyText,
            THiddenRecord* record = nullptr);
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    const Hwnd Handle;
    // The title as last read, exactly (UTF-8), and its form in the system's ANSI code page
    // (as GetWindowTextA would give it), by whose bytes the page sorts, so that the order
    // on a system of any code page is the one its users know. At most 254 characters.
    std::string Title;
    std::string Caption;
    bool Selected = false;      // the row's check mark as last clicked
    // This program hid the window and has not seen it back. Only such windows are restored
    // at the end: a window its own program hid (a chat client gone to its tray) stays hidden.
    bool HiddenByUs = false;
    // Whose window the handle named when it was listed (process id and the process's
    // creation time): the system hands a destroyed window's handle to new windows.
    std::uint32_t Pid = 0;
    std::uint64_t Created = 0;
    // Where the window stood in the stacking order when we hid it: the lower, the nearer the
    // front. Windows hidden later rank behind those hidden earlier, so windows hidden one by
    // one from the front come back in the order they had. 0: never hidden by us.
    std::uint64_t HideRank = 0;

    // Sets Title and Caption from the title the wide call gave.
    void SetTitle(std::u16string_view wide);
    // Asked of the system every time: a window's own program may hide or show it.
    bool IsVisible() const;
    // Its program runs at a higher integrity level than ours (as administrator, while we do
    // not): the system drops our requests to its window without a word.
    bool IsOutOfReach() const;
    // What the window is, or will be once its thread has carried out our last request:
    // requests are queued to that thread, which may be slow to get to them, or hung. A
    // window seen back after our restore is no longer ours.
    bool WillBeVisible();
    // Forgets our last request once the window is seen to have carried it out; without one
    // waiting, the system is not asked.
    void SettleRequest();
    // False when the requests could not be queued.
    bool HideWindow();
    bool RestoreWindow();
    // Hiding records the window first and marks it ours (a window that is not visible, or
    // out of reach, is left alone: it is not ours to hide, nor to record). Showing asks for
    // the window back; it stays ours, and recorded, until it is seen back. False when the
    // request could not be queued: nothing changed.
    bool SetShown(bool show);
    // We asked for the window back and have not yet seen it come.
    bool RestorePending() const { return HiddenByUs && restoreAsked_; }
    enum class Restore { Back, Waiting, Refused };
    // Where a pending restore stands: Back once the window is seen on screen at two looks in
    // a row, or at the judging one. With `judge`, a window whose thread answers and that is
    // still hidden has refused: the request is dropped, and the window stays ours (a later
    // restore tries again). A window that does not answer is still Waiting.
    Restore SettleRestore(bool judge);
    // No longer ours, without touching the window: it came back, or it is gone.
    void Forget();

private:
    WindowApi& api_;
    THiddenRecord* record_;
    // The visibility our last request asks for, until the window is seen to have it.
    std::optional<bool> asked_;
    // Our restore has not yet been seen to hold; seenBack_: the last look saw the window.
    bool restoreAsked_ = false;
    bool seenBack_ = false;
};

class TWindowList : public BossKeyHolders {
public:
    // Far more top-level windows than a session can hold.
    static constexpr int kMaxWalkSteps = 65536;

    // Without `identity`, a reused handle is told by its process id alone.
    explicit TWindowList(WindowApi& api, THiddenRecord* record = nullptr, IdentityApi* identity = nullptr)
        : api_(api), record_(record), identity_(identity)
    {
    }
    TWindowList(const TWindowList&) = delete;
    TWindowList& operator=(const TWindowList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    TWindow& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    TWindow* FindByHandle(Hwnd handle);
    // True while `entry` is one of ours: rows and editors hold raw pointers and check
    // them here before touching an entry that a refresh may have freed.
    bool Contains(const TWindow* entry) const;
    TWindow& AddWindow(Hwnd handle, std::string caption, std::string bossKeyText);
    // Some entry still answers to `id` (never 0).
    bool HoldsHotKey(std::uint16_t id) const override;

    // Drops entries of destroyed windows (and of handles that now name another process's
    // window), re-captions known ones (hidden or not) and appends titled, visible windows not
    // yet listed, in Z order, leaving out those the window manager keeps on no screen and no
    // virtual desktop, and those the shell does not place on one in time. `ownWindow` is
    // never listed.
    // The walk ends at a window it has met already and after kMaxWalkSteps windows, so a Z
    // order that changes under it cannot keep it going.
    // Without `askShell` the shell is not asked where the cloaked windows are, and they are
    // left out as if it had not answered: for a list that must show before the shell is
    // worth waiting for.
    void RefreshWindows(Hwnd ownWindow, bool askShell = true);
    // Sorts by caption, byte by byte as unsigned values: no locale, case-sensitive.
    void SortByCaption();
    // Toggles every entry bound to `id` (never 0), each by its own state: the one it has, or
    // will have once its thread has carried out our last request. Returns the windows a
    // restore could not be queued to.
    std::vector<TWindow*> ToggleByHotKey(std::uint16_t id);
    // Gives back `entries` in the stacking order they had when we hid them: the one that was
    // in front is restored last, placed in front and activated; the others each behind the
    // one before. Entries that are on screen are asked as before, behind them. Returns the
    // windows the request could not be queued to.
    std::vector<TWindow*> Restore(std::vector<TWindow*> entries);
    // The window the user has in front (the foreground window's root owner), listed and
    // ticked if it was not, so that it can be hidden as a ticked one is. Null, with nothing
    // listed or recorded, when it is none we may hide: no window in front, the desktop, a
    // taskbar, a window of `ownWindow`'s process, one not on screen, or an elevated one.
    TWindow* TickFront(Hwnd ownWindow);
    // Gives back every window we hid that is not visible, or will not be once its thread has
    // carried out our last request; forgets the ones that came back. Returns the windows the
    // request could not even be queued to.
    std::vector<TWindow*> RestoreHidden();
    bool HasPendingRestores() const;
    // SettleRestore for every pending restore; returns the windows that refused.
    std::vector<TWindow*> SettleRestores(bool judge);
    // Lists the recorded windows a previous run hid and never gave back, when each is still
    // the recorded window and still hidden and minimised, as our hide left it: ticked and
    // ours, so Alt+R or the close gives them back. The record forgets every other entry.
    void AdoptRecorded();
    // Records, with one write, the entries among `entries` that hiding will ask to hide (live,
    // on screen and within reach) before any is hidden, and notes their stacking order.
    void RecordHiding(const std::vector<TWindow*>& entries);
    // The full path of the executable whose process owns the entry's window (UTF-8);
    // nothing when it cannot be read (a protected process, or no `identity`).
    std::optional<std::string> ProgramOf(const TWindow& entry);
    // Ticks every entry whose program `ticked` names, asking each process's program once.
    // A window whose program cannot be read is never ticked. True when a tick was added.
    bool TickPrograms(const std::function<bool(const std::string& exe)>& ticked);

private:
    // A titled, visible window a walk met that is not yet listed.
    struct Fresh {
        Hwnd handle;
        std::u16string title;
        bool cloaked;
    };
    // Lists, in the order given, the fresh windows the user can find somewhere.
    void ListFresh(const std::vector<Fresh>& fresh, std::map<std::uint32_t, std::uint64_t>& created, bool askShell);
    // `created` holds the creation times asked during one walk, by process id.
    TWindow& AddListed(Hwnd handle, std::string caption, std::string bossKeyText,
                       std::map<std::uint32_t, std::uint64_t>& created);
    std::uint64_t CreationTime(std::uint32_t pid, std::map<std::uint32_t, std::uint64_t>& created);
    bool SameOwner(const TWindow& entry, Hwnd w, std::map<std::uint32_t, std::uint64_t>& created);
    void Drop(std::size_t index);
    // Every top-level window, by one bounded walk; nothing when the walk could not finish.
    std::optional<std::unordered_set<Hwnd>> TopLevelWindows();

    // Ranks `entries` by where they stand now in the stacking order, front first.
    void NoteStacking(const std::vector<TWindow*>& entries);

    WindowApi& api_;
    THiddenRecord* record_;
    IdentityApi* identity_;
    std::vector<std::unique_ptr<TWindow>> items_;
    TVirtualDesktops desktops_{api_};
    std::uint64_t nextRank_ = 1;
    // The windows the last restore gave back, front first. The front one is activated again
    // once seen back, should one behind it have taken the foreground as its own restore ran;
    // a window the user has turned to meanwhile keeps it.
    std::vector<Hwnd> restored_;
};

// Byte-order comparison of two captions: -1, 0 or 1.
int CompareCaptions(const std::string& a, const std::string& b);

} // namespace tw
