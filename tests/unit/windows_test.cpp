// The window list against the simulated desktop: what a refresh keeps, adds and drops,
// and how the bulk operations treat windows in mixed states.
#include "Fixtures.h"
#include "app/RestoreRecorded.h"
#include "platform/WideText.h"
#include "record/uHiddenRecord.h"
#include "settings/uRemembered.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tw {
namespace {

class WindowListTest : public WindowListFixture {
protected:
    std::vector<Hwnd> RecordedOnDisk()
    {
        std::vector<Hwnd> out;
        auto next = NextStart();
        for (const RecordedWindow& w : next->Windows())
            out.push_back(w.handle);
        return out;
    }

    std::vector<std::string> Captions()
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.Count(); ++i)
            out.push_back(list.Items(i).Caption);
        return out;
    }
};

TEST_F(WindowListTest, FirstRefreshListsTitledVisibleWindowsInZOrderButNotOurOwn)
{
    desk.AddWindow("Bottom");
    desk.AddWindow("");                   // untitled
    desk.AddWindow("Tray-only", false);   // already hidden by its own program
    desk.AddWindow("Top");
    Hwnd minimised = desk.AddWindow("Minimised");
    desk.Window(minimised).minimized = true;
    Hwnd child = desk.AddWindow("A child", true, "Sim", minimised);
    (void)child;

    list.RefreshWindows(self);

    // Top first, as the Z order has them; a minimised window counts as visible.
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Minimised", "Top", "Bottom"}));
    EXPECT_EQ(list.FindByHandle(self), nullptr);
}

// Windows 10/11 keep visible windows the window manager cloaks. One on another virtual
// desktop is real; the others (suspended Store apps, the system's input surfaces) are on no
// screen at all. Where the window manager or the desktop manager cannot be asked, the
// window counts as before.
TEST_F(WindowListTest, CloakedWindowsAreListedOnlyWhenOnAVirtualDesktop)
{
    auto add = [&](const char* title, std::optional<bool> cloaked, std::optional<bool> onDesktop,
                   const char* cls = "Sim") {
        Hwnd w = desk.AddWindow(title, true, cls);
        desk.Window(w).cloaked = cloaked;
        desk.Window(w).onVirtualDesktop = onDesktop;
        return w;
    };
    add("Plain", false, std::nullopt);
    add("Windows 7", std::nullopt, std::nullopt);
    add("Other desktop", true, true);
    add("Suspended app", true, false);
    add("No desktop manager", true, std::nullopt);
    add("Microsoft Text Input Application", false, true, "Windows.UI.Core.CoreWindow");

    // The start's first fill does not wait for the shell: the cloaked ones come with the next.
    list.RefreshWindows(self, false);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Windows 7", "Plain"}));
    EXPECT_EQ(desk.virtualDesktopCalls, 0);
    list.RefreshWindows(self);

    EXPECT_EQ(Captions(), (std::vector<std::string>{"Windows 7", "Plain", "No desktop manager", "Other desktop"}));

    // The shell answers that question, and a hung shell never does. A shell known hung is
    // not asked; what it cannot place now is left out, and asked about again later.
    const int asked = desk.virtualDesktopCalls;
    Hwnd moved = add("Moved in from another desktop", true, true);
    Hwnd taskbar = desk.AddWindow("", true, "Shell_TrayWnd");
    desk.Window(taskbar).hung = true;
    list.RefreshWindows(self);
    EXPECT_EQ(desk.virtualDesktopCalls, asked) << "a shell known to be hung was asked";
    EXPECT_EQ(list.FindByHandle(moved), nullptr);

    // One that hangs before the system flags it: neither a refresh nor the hide a hot key
    // starts after it waits on the call, and the call is not made again while it hangs.
    desk.Window(taskbar).hung = false;
    desk.HangVirtualDesktops();
    Hwnd opened = desk.AddWindow("Opened meanwhile");
    list.RefreshWindows(self);
    list.RefreshWindows(self);
    EXPECT_EQ(desk.virtualDesktopCalls, asked + 1);
    EXPECT_EQ(desk.virtualDesktopAnswers, asked) << "a refresh waited for the hung shell";
    ASSERT_NE(list.FindByHandle(opened), nullptr);
    EXPECT_TRUE(list.FindByHandle(opened)->SetShown(false));
    EXPECT_FALSE(desk.IsWindowVisible(opened));
    EXPECT_EQ(list.FindByHandle(moved), nullptr);

    desk.ReleaseVirtualDesktops();
    for (int look = 0; look < 100 && !list.FindByHandle(moved); ++look) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        list.RefreshWindows(self);
    }
    EXPECT_NE(list.FindByHandle(moved), nullptr);
}

TEST_F(WindowListTest, ARememberedProgramTicksEveryWindowOfItsOwnExecutableOnly)
{
    desk.Process(2).image = "C:\\Apps\\Player.exe";
    desk.Process(3).image = "C:\\Apps\\Player-copy.exe";   // the same program under another name
    desk.Process(4).image = std::nullopt;                      // protected: cannot be read
    Hwnd first = desk.AddWindow("Player", true, "Sim", 0, 2);
    Hwnd copy = desk.AddWindow("Copy", true, "Sim", 0, 3);
    Hwnd hidden = desk.AddWindow("Guarded", true, "Sim", 0, 4);
    list.RefreshWindows(self);
    auto remembered = [](const std::string& exe) { return SamePath(exe, "c:\\apps\\player.exe"); };
    int asked = 0;
    auto counting = [&](const std::string& exe) { ++asked; return remembered(exe) || exe.empty(); };
    EXPECT_TRUE(list.TickPrograms(counting));
    Hwnd second = desk.AddWindow("Player 2", true, "Sim", 0, 2);   // opened afterwards
    list.RefreshWindows(self);
    EXPECT_TRUE(list.TickPrograms(remembered));
    EXPECT_TRUE(list.FindByHandle(first)->Selected);
    EXPECT_TRUE(list.FindByHandle(second)->Selected);
    EXPECT_FALSE(list.FindByHandle(copy)->Selected);
    EXPECT_FALSE(list.FindByHandle(hidden)->Selected);   // never matched, not even by an empty path
    EXPECT_EQ(asked, 2);   // once per readable process
}

TEST_F(WindowListTest, RefreshesKeepEachEntryOnceWithItsTickAndItsLastTitle)
{
    Hwnd w = desk.AddWindow("Report.doc");
    Hwnd shown = desk.AddWindow("Editor");
    Hwnd untitled = desk.AddWindow("Named");
    list.RefreshWindows(self);
    TWindow* entry = list.FindByHandle(w);
    ASSERT_NE(entry, nullptr);
    entry->Selected = true;
    entry->SetShown(false);
    ASSERT_FALSE(desk.IsWindowVisible(w));

    desk.Window(w).title = "Report.doc (saved)";
    desk.Window(untitled).title.clear();
    list.RefreshWindows(self);
    list.RefreshWindows(self);

    EXPECT_EQ(list.Count(), 3);
    ASSERT_EQ(list.FindByHandle(w), entry);   // the same entry, with its tick
    EXPECT_TRUE(entry->Selected);
    EXPECT_EQ(entry->Caption, "Report.doc (saved)");
    EXPECT_NE(list.FindByHandle(shown), nullptr);
    // A window that loses its title keeps the one it had.
    ASSERT_NE(list.FindByHandle(untitled), nullptr);
    EXPECT_EQ(list.FindByHandle(untitled)->Caption, "Named");
}

TEST_F(WindowListTest, DestroyedWindowsGoAtTheNextRefreshAndAreNotTouchedBefore)
{
    Hwnd a = desk.AddWindow("A");
    Hwnd b = desk.AddWindow("B");
    list.RefreshWindows(self);
    list.FindByHandle(a)->HotKeyId = 7;
    desk.DestroyWindow(a);

    // Until the refresh the entry is still there, and operating on it does nothing.
    desk.log.clear();
    list.ToggleByHotKey(7);
    list.RestoreHidden();
    EXPECT_TRUE(desk.log.empty());

    TWindow* dead = list.FindByHandle(a);
    EXPECT_TRUE(list.Contains(dead));
    list.RefreshWindows(self);
    EXPECT_EQ(list.FindByHandle(a), nullptr);
    EXPECT_FALSE(list.Contains(dead));
    EXPECT_FALSE(list.Contains(nullptr));
    EXPECT_NE(list.FindByHandle(b), nullptr);
    EXPECT_EQ(list.Count(), 1);

    // The system hands the handle of a destroyed window to a new one, of another process
    // or of a new process under the old id: that is a new window, with nothing of the old.
    TWindow* old = list.FindByHandle(b);
    old->HotKeyId = 8;
    old->Selected = true;
    old->SetShown(false);
    for (auto reuse : {+[](sim::SimDesktop& d, Hwnd w) { d.Window(w).pid = 9; },
                       +[](sim::SimDesktop& d, Hwnd w) { d.Process(d.Window(w).pid).created = 77; }}) {
        reuse(desk, b);
        desk.Window(b).visible = true;
        list.RefreshWindows(self);
        TWindow* fresh = list.FindByHandle(b);
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(fresh->HotKeyId, 0);
        EXPECT_FALSE(fresh->Selected);
        EXPECT_FALSE(fresh->HiddenByUs);
        fresh->HotKeyId = 8;
    }
    EXPECT_TRUE(RecordedOnDisk().empty());
    desk.log.clear();
    list.RestoreHidden();
    EXPECT_TRUE(desk.log.empty()) << "the close would have shown a window we never hid";
}

TEST_F(WindowListTest, RefreshFromOnlyDeadEntriesYieldsTheLiveDesktop)
{
    Hwnd gone1 = desk.AddWindow("Gone 1");
    Hwnd gone2 = desk.AddWindow("Gone 2");
    list.RefreshWindows(self);
    desk.DestroyWindow(gone1);
    desk.DestroyWindow(gone2);
    desk.AddWindow("Fresh B");
    desk.AddWindow("Fresh A");

    list.RefreshWindows(self);

    EXPECT_EQ(Captions(), (std::vector<std::string>{"Fresh A", "Fresh B"}));
}

TEST_F(WindowListTest, TitlesAreCutAt254Characters)
{
    desk.AddWindow(std::string(400, 'x'));
    desk.codePage = {{u'汉', "\xBA\xBA"}};
    desk.Window(desk.AddWindow("")).wideTitle = std::u16string(400, u'汉');
    list.RefreshWindows(self);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1).Caption.size(), 254u);
    EXPECT_EQ(list.Items(0).Caption.size(), 508u);   // the sort key is two bytes a character
    EXPECT_EQ(Utf16FromUtf8(list.Items(0).Title), std::u16string(254, u'汉'));
}

TEST_F(WindowListTest, AWindowAboveOurIntegrityLevelIsNotTouched)
{
    // An administrator's program drops our requests without a word: none is sent, nothing
    // is recorded or marked ours. Where the level cannot be read the window is asked as ever.
    Hwnd admin = desk.AddWindow("Admin", true, "Sim", 0, 7);
    Hwnd unknown = desk.AddWindow("Unknown", true, "Sim", 0, 8);
    desk.Process(7).integrity = 0x3000;
    desk.Process(8).integrity = std::nullopt;
    list.RefreshWindows(self);
    TWindow& entry = *list.FindByHandle(admin);
    EXPECT_TRUE(entry.IsOutOfReach());
    EXPECT_FALSE(list.FindByHandle(unknown)->IsOutOfReach());
    desk.log.clear();
    entry.SetShown(false);
    EXPECT_TRUE(desk.log.empty());
    EXPECT_FALSE(entry.HiddenByUs);
    EXPECT_TRUE(RecordedOnDisk().empty());

    // Running as administrator ourselves, we may.
    desk.ownIntegrity = 0x3000;
    EXPECT_FALSE(entry.IsOutOfReach());
    entry.SetShown(false);
    EXPECT_FALSE(desk.IsWindowVisible(admin));
}

// The key for the window in front: whatever has the foreground goes, by its main window,
// but never the shell's desktop and taskbars, our own windows or an elevated program's; a
// refusal says nothing, lists nothing and records nothing.
TEST_F(WindowListTest, TheWindowInFrontIsTakenByItsMainWindowAndTheShellOursAndElevatedOnesNever)
{
    auto other = [&](const char* title, const char* cls = "Sim", std::uint32_t pid = 5) {
        return desk.AddWindow(title, true, cls, 0, pid);
    };
    desk.foreground = 0;
    EXPECT_EQ(list.TickFront(self), nullptr);
    for (const char* shell : {"Progman", "WorkerW", "Shell_TrayWnd", "Shell_SecondaryTrayWnd"}) {
        desk.foreground = other("", shell, 4);
        EXPECT_EQ(list.TickFront(self), nullptr) << shell;
    }
    desk.foreground = desk.AddWindow("帮助", true, "TFrmHelp", 0, desk.GetWindowProcessId(self));
    EXPECT_EQ(list.TickFront(self), nullptr);
    desk.foreground = other("Admin", "Sim", 7);
    desk.Process(7).integrity = 0x3000;
    EXPECT_EQ(list.TickFront(self), nullptr);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(RecordedOnDisk().empty());

    // A dialog in front: its main window is what the user sees as the program.
    Hwnd editor = other("Editor");
    Hwnd saveAs = other("Save as");
    desk.Window(saveAs).owner = editor;
    desk.foreground = saveAs;
    TWindow* entry = list.TickFront(self);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Handle, editor);
    EXPECT_EQ(entry->Caption, "Editor");
    EXPECT_TRUE(entry->Selected);
    EXPECT_EQ(list.TickFront(self), entry);   // listed once
    EXPECT_EQ(list.Count(), 1);
}

// Alt+R gives windows back as they were stacked: the front one in front, and active, the
// others behind it in their old order, also when the key for the window in front took them
// one by one and something else came to the front meanwhile. Without the right to take the
// foreground, the order is still kept and nothing is activated.
TEST_F(WindowListTest, RestoresComeBackInTheStackingOrderTheyHadWithTheFrontOneActive)
{
    Hwnd c = desk.AddWindow("C", true, "Sim", 0, 5);
    Hwnd b = desk.AddWindow("B", true, "Sim", 0, 5);
    Hwnd a = desk.AddWindow("A", true, "Sim", 0, 5);
    auto front3 = [&] { return std::vector<Hwnd>(desk.ZOrder().begin(), desk.ZOrder().begin() + 3); };
    desk.foreground = a;
    for (int i = 0; i < 3; ++i) {
        TWindow* entry = list.TickFront(self);
        ASSERT_NE(entry, nullptr);
        list.RecordHiding({entry});
        entry->SetShown(false);
    }
    desk.AddWindow("Came up meanwhile", true, "Sim", 0, 6);
    list.RestoreHidden();
    EXPECT_EQ(front3(), (std::vector<Hwnd>{a, b, c}));
    EXPECT_EQ(desk.GetForegroundWindow(), a);

    // Ticked and hidden together, listed in another order than they stand.
    list.SortByCaption();
    std::vector<TWindow*> ticked{list.FindByHandle(a), list.FindByHandle(b), list.FindByHandle(c)};
    desk.PlaceBehind(a, c);
    desk.PlaceBehind(b, a);   // now C, A, B
    list.RecordHiding(ticked);
    for (TWindow* entry : ticked)
        entry->SetShown(false);
    Hwnd other = desk.AddWindow("Other", true, "Sim", 0, 6);
    desk.foreground = other;
    desk.mayActivate = false;
    list.Restore(ticked);
    EXPECT_EQ(front3(), (std::vector<Hwnd>{c, a, b}));
    EXPECT_EQ(desk.GetForegroundWindow(), other);
}

TEST_F(WindowListTest, HidingMinimisesFirstAndRestoringUsesRestore)
{
    Hwnd w = desk.AddWindow("Mail");
    list.RefreshWindows(self);
    desk.log.clear();
    list.FindByHandle(w)->SetShown(false);
    list.FindByHandle(w)->SetShown(true);
    EXPECT_EQ(desk.log, (std::vector<std::string>{"ShowWindow Mail Minimize", "ShowWindow Mail Hide",
                                                  "ShowWindow Mail Restore"}));
    EXPECT_TRUE(desk.IsWindowVisible(w));
    EXPECT_FALSE(desk.Window(w).minimized);
}

TEST_F(WindowListTest, ToggleByHotKeyFlipsEveryMatchingEntryByItsOwnState)
{
    Hwnd shown = desk.AddWindow("Shown");
    Hwnd hidden = desk.AddWindow("Hidden");
    Hwnd other = desk.AddWindow("Other key");
    list.RefreshWindows(self);
    list.FindByHandle(shown)->HotKeyId = 0x1234;
    list.FindByHandle(hidden)->HotKeyId = 0x1234;
    list.FindByHandle(other)->HotKeyId = 0x0042;
    list.FindByHandle(hidden)->SetShown(false);

    list.ToggleByHotKey(0x1234);

    // The two sharing the key swap; the scan did not stop at the first match.
    EXPECT_FALSE(desk.IsWindowVisible(shown));
    EXPECT_TRUE(desk.IsWindowVisible(hidden));
    EXPECT_TRUE(desk.IsWindowVisible(other));

    list.ToggleByHotKey(0x1234);
    EXPECT_TRUE(desk.IsWindowVisible(shown));
    EXPECT_FALSE(desk.IsWindowVisible(hidden));
}

TEST_F(WindowListTest, RestoreHiddenBringsBackWhatWasHiddenAndLeavesMinimisedAlone)
{
    Hwnd ours = desk.AddWindow("Hidden by us");
    Hwnd theirs = desk.AddWindow("Hidden by its program");
    Hwnd minimised = desk.AddWindow("Minimised");
    desk.Window(minimised).minimized = true;
    Hwnd late = desk.AddWindow("Hidden by its program during Alt+H");
    list.RefreshWindows(self);
    desk.Window(theirs).visible = false;   // its program hid it after we listed it (gone to its tray)
    // All four were ticked for Alt+H: only what will be hidden is recorded, and a window its
    // own program hides in the meantime leaves the record again.
    list.RecordHiding({list.FindByHandle(ours), list.FindByHandle(theirs), list.FindByHandle(late)});
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{ours, late}));
    list.FindByHandle(ours)->SetShown(false);
    desk.Window(late).visible = false;
    list.FindByHandle(late)->SetShown(false);
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{ours}));
    desk.log.clear();
    list.FindByHandle(theirs)->SetShown(false);

    list.RestoreHidden();
    list.SettleRestores(false);   // the look a moment later that sees them back

    // Only what we hid comes back: the other program meant its window to be hidden.
    EXPECT_TRUE(desk.IsWindowVisible(ours));
    EXPECT_FALSE(desk.IsWindowVisible(theirs));
    EXPECT_FALSE(desk.IsWindowVisible(late));
    EXPECT_TRUE(desk.Window(minimised).minimized);
    EXPECT_EQ(desk.log, (std::vector<std::string>{"ShowWindow Hidden by us Restore"}));
    EXPECT_FALSE(list.FindByHandle(ours)->HiddenByUs);

    // A window we hid and then gave back through its boss key is no longer ours either.
    list.FindByHandle(theirs)->HotKeyId = 9;
    list.ToggleByHotKey(9);
    list.FindByHandle(ours)->SetShown(false);
    desk.Window(ours).visible = true;   // its program showed it again itself
    desk.log.clear();
    list.RestoreHidden();
    EXPECT_TRUE(desk.log.empty());
    EXPECT_TRUE(RecordedOnDisk().empty());
}

TEST_F(WindowListTest, EveryHiddenWindowIsOnDiskBeforeItDisappears)
{
    Hwnd a = desk.AddWindow("A");
    Hwnd b = desk.AddWindow("B");
    list.RefreshWindows(self);
    std::vector<std::string> missing;
    desk.onShowWindow = [&](Hwnd w, ShowCmd cmd) {
        std::vector<Hwnd> recorded = RecordedOnDisk();
        if (cmd != ShowCmd::Restore && std::find(recorded.begin(), recorded.end(), w) == recorded.end())
            missing.push_back(desk.Window(w).title);
    };

    list.RecordHiding({list.FindByHandle(a), list.FindByHandle(b)});
    EXPECT_EQ(store.writes, 1);   // one write for a whole Alt+H
    list.FindByHandle(a)->SetShown(false);
    list.FindByHandle(b)->SetShown(false);
    EXPECT_TRUE(missing.empty()) << missing.front() << " was hidden before it was recorded";
    EXPECT_EQ(store.writes, 1);

    // A boss key records its window on its own.
    Hwnd c = desk.AddWindow("C");
    list.RefreshWindows(self);
    list.FindByHandle(c)->HotKeyId = 3;
    list.ToggleByHotKey(3);
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{a, b, c}));

    // Given back, they leave the record; a destroyed window leaves it at the next refresh.
    list.FindByHandle(a)->SetShown(true);
    desk.DestroyWindow(b);
    list.RefreshWindows(self);
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{c}));

    // A record that cannot be written does not stop the hiding.
    store.failWrites = true;
    list.FindByHandle(a)->SetShown(false);
    EXPECT_FALSE(desk.IsWindowVisible(a));
    EXPECT_TRUE(list.FindByHandle(a)->HiddenByUs);
}

TEST_F(WindowListTest, NextStartAdoptsOnlyRecordedWindowsThatAreStillTheSameAndHidden)
{
    Hwnd kept = desk.AddWindow("Kept", true, "Notepad", 0, 5);
    Hwnd shown = desk.AddWindow("Shown again", true, "Notepad", 0, 5);
    Hwnd reused = desk.AddWindow("Handle reused", true, "Notepad", 0, 5);
    Hwnd restarted = desk.AddWindow("Process restarted", true, "Mail", 0, 6);
    Hwnd otherClass = desk.AddWindow("Class changed", true, "Notepad", 0, 5);
    Hwnd trayed = desk.AddWindow("Gone to its tray since", true, "Notepad", 0, 5);
    list.RefreshWindows(self);
    for (Hwnd w : {kept, shown, reused, restarted, otherClass, trayed})
        list.FindByHandle(w)->SetShown(false);
    // The program is killed here: nothing is given back, the record stays.

    // The user brings one back through its own program, which later hides it to its tray:
    // hidden as ours are, but not minimised.
    desk.ShowWindowAsync(trayed, ShowCmd::Restore);
    desk.ShowWindowAsync(trayed, ShowCmd::Hide);
    desk.Window(shown).visible = true;
    desk.Window(reused).pid = 7;                 // the handle now names another program's window
    desk.Process(6).created = 2;                 // a new process under the old id
    desk.Window(otherClass).cls = "Other";
    desk.log.clear();
    // Lines of windows long gone, as many killed runs leave: enough that the start walks the
    // desktop once instead of asking about each.
    for (Hwnd gone = 0x90000; gone < 0x90000 + 40 * 4; gone += 4)
        store.files[kRecordPath] += "W " + std::to_string(gone) + " 5 1 4E6F7465706164\n";

    // The next start shows its page before it reads the record: the window shown again is
    // listed by then, and must be forgotten all the same.
    auto next = NextStart();
    TWindowList adopted{desk, next.get()};
    adopted.RefreshWindows(self, false);
    ASSERT_NE(adopted.FindByHandle(shown), nullptr);
    adopted.AdoptRecorded();

    ASSERT_NE(adopted.FindByHandle(kept), nullptr);
    TWindow& entry = *adopted.FindByHandle(kept);
    EXPECT_EQ(entry.Caption, "Kept");
    EXPECT_TRUE(entry.Selected);
    EXPECT_TRUE(entry.HiddenByUs);
    EXPECT_FALSE(adopted.FindByHandle(shown)->HiddenByUs);
    for (Hwnd w : {reused, restarted, otherClass, trayed})
        EXPECT_EQ(adopted.FindByHandle(w), nullptr);
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{kept}));

    // Refreshing keeps it; the close gives back exactly that one and empties the record.
    adopted.RefreshWindows(self);
    adopted.RestoreHidden();
    adopted.SettleRestores(false);
    EXPECT_TRUE(desk.IsWindowVisible(kept));
    EXPECT_EQ(desk.log, (std::vector<std::string>{"ShowWindow Kept Restore"}));
    for (Hwnd w : {reused, restarted, otherClass, trayed})
        EXPECT_FALSE(desk.IsWindowVisible(w));
    EXPECT_EQ(store.files[kRecordPath], "");
}

TEST_F(WindowListTest, ARestoreThatDoesNotTakeKeepsTheWindowOursAndRecorded)
{
    Hwnd refusing = desk.AddWindow("Refusing");
    Hwnd rehiding = desk.AddWindow("Hides itself again");
    Hwnd hung = desk.AddWindow("Hung");
    Hwnd fine = desk.AddWindow("Fine");
    list.RefreshWindows(self);
    for (Hwnd w : {refusing, rehiding, hung, fine})
        list.FindByHandle(w)->SetShown(false);
    desk.Window(refusing).refusesShows = true;
    desk.Window(rehiding).staysHidden = true;
    desk.Window(hung).hung = true;

    // Nothing could be queued to one; the others are asked and watched.
    EXPECT_EQ(list.RestoreHidden(), (std::vector<TWindow*>{list.FindByHandle(refusing)}));
    EXPECT_TRUE(list.SettleRestores(false).empty());
    EXPECT_TRUE(list.HasPendingRestores());
    // Judged: the one whose thread answers and stays hidden has refused; the hung one may
    // still come, and is waited for.
    EXPECT_EQ(list.SettleRestores(true), (std::vector<TWindow*>{list.FindByHandle(rehiding)}));
    EXPECT_TRUE(list.FindByHandle(hung)->RestorePending());
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{refusing, rehiding, hung}));
    for (Hwnd w : {refusing, rehiding, hung})
        EXPECT_TRUE(list.FindByHandle(w)->HiddenByUs);

    // Killed now: "/restore" tries again, and keeps in the record what still does not come.
    // The window its program hid again once our restore had shown it is no longer minimised
    // as ours are: that program's to show now, so it leaves the record untouched.
    auto next = NextStart();
    desk.Window(refusing).refusesShows = false;
    desk.log.clear();
    RestoreRecorded(*next, desk, desk);
    EXPECT_TRUE(desk.IsWindowVisible(refusing));
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{hung}));
    EXPECT_EQ(std::count(desk.log.begin(), desk.log.end(), "ShowWindow Hides itself again Restore"), 0);

    // Or the same run tries again, and then everything comes back and leaves the record.
    desk.Window(rehiding).staysHidden = false;
    list.RestoreHidden();
    desk.Pump(hung);
    list.SettleRestores(false);
    EXPECT_TRUE(list.HasPendingRestores()) << "a window seen once may be hidden again at once";
    list.SettleRestores(false);
    EXPECT_FALSE(list.HasPendingRestores());
    for (Hwnd w : {refusing, rehiding, hung, fine})
        EXPECT_TRUE(desk.IsWindowVisible(w));
    EXPECT_TRUE(RecordedOnDisk().empty());
}

TEST_F(WindowListTest, ARecordHeldOpenByAnotherProgramIsNeverWrittenOverAndIsTakenInOnceRead)
{
    // A killed run hid one window; its record carries a line of a newer version too.
    Hwnd earlier = desk.AddWindow("Hidden by the killed run");
    list.RefreshWindows(self);
    list.FindByHandle(earlier)->SetShown(false);
    store.files[kRecordPath] += "A 1234 future\n";
    const std::string killedRunsRecord = store.files[kRecordPath];

    // A backup tool holds the file while the next run starts and hides another window.
    store.locked.insert(kRecordPath);
    THiddenRecord locked{store, desk, desk, kRecordPath};
    const int pausesBefore = store.pauses;
    locked.Load();
    EXPECT_TRUE(locked.Pending());
    EXPECT_EQ(store.pauses - pausesBefore, 4) << "tried for about a second";
    TWindowList run{desk, &locked, &desk};
    run.AdoptRecorded();
    Hwnd now = desk.AddWindow("Hidden by this run");
    run.RefreshWindows(self);
    run.FindByHandle(now)->SetShown(false);
    EXPECT_FALSE(desk.IsWindowVisible(now));
    EXPECT_EQ(store.files[kRecordPath], killedRunsRecord) << "written over while held open";

    // Released: what it holds joins what this run hid, and the earlier window is adopted.
    store.locked.clear();
    EXPECT_TRUE(locked.Retry());
    run.AdoptRecorded();
    ASSERT_NE(run.FindByHandle(earlier), nullptr);
    EXPECT_TRUE(run.FindByHandle(earlier)->HiddenByUs);
    EXPECT_EQ(RecordedOnDisk(), (std::vector<Hwnd>{earlier, now}));
    EXPECT_NE(store.files[kRecordPath].find("\nA 1234 future\n"), std::string::npos);
}

TEST(HiddenRecordFile, ALineCutShortOrDamagedIsLeftOutAndTheRestKept)
{
    std::vector<RecordedWindow> windows{{0x10010, 5, 132000000000000000ULL, "Notepad"}, {0x2A, 6, 7, "a b\nc"}};
    std::vector<RecordedIcon> icons{{42, 9, 0x30, -5, "Volume: 75% \xB4\xB0"}, {42, 9, 0x30, 8, ""}};
    const std::string text = THiddenRecord::Format(windows, icons);

    std::vector<RecordedWindow> readWindows;
    std::vector<RecordedIcon> readIcons;
    THiddenRecord::Parse(text, readWindows, readIcons);
    ASSERT_EQ(readWindows.size(), 2u);
    ASSERT_EQ(readIcons.size(), 2u);
    EXPECT_EQ(readWindows[1].cls, "a b\nc");
    EXPECT_EQ(readIcons[0].text, "Volume: 75% \xB4\xB0");
    EXPECT_EQ(readIcons[0].id, -5);
    EXPECT_EQ(readWindows[0].created, 132000000000000000ULL);

    // A write the system never finished: every cut gives the whole lines before it.
    std::size_t lines = 0;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        if (cut > 0 && text[cut - 1] == '\n')
            ++lines;
        THiddenRecord::Parse(text.substr(0, cut), readWindows, readIcons);
        std::size_t entries = lines == 0 ? 0 : lines - 1;   // the first line is the header
        EXPECT_EQ(readWindows.size() + readIcons.size(), entries) << "cut at " << cut;
    }

    // Damage inside a line costs that line only; a file that is not ours costs everything.
    std::string damaged = text;
    damaged.replace(damaged.find("W 42"), 4, "W 4x");
    damaged.insert(damaged.find("I 42"), "I 1 2\n\nW\nnonsense\n");
    THiddenRecord::Parse(damaged, readWindows, readIcons);
    EXPECT_EQ(readWindows.size(), 1u);
    EXPECT_EQ(readIcons.size(), 2u);
    THiddenRecord::Parse("[system]\nW 1 2 3 41\n", readWindows, readIcons);
    EXPECT_TRUE(readWindows.empty());

    // A muted program's line carries the sessions its user had muted, whatever their bytes.
    const std::vector<RecordedProgram> programs{{"C:\\a b.exe", {{"x y|1", 1, 2, "C:\\a b.exe"}}}, {"D:\\p.exe", {}}};
    std::string withPrograms = THiddenRecord::Format(windows, {}, {}, {}, {}, programs);
    withPrograms.insert(withPrograms.find("E "), "E 41 1 2\nE  1 2 41\nE 41 1 2 4\n");
    std::vector<RecordedSession> readSessions;
    std::vector<RecordedProgram> readPrograms;
    THiddenRecord::Parse(withPrograms, readWindows, readIcons, nullptr, nullptr, &readSessions, &readPrograms);
    EXPECT_EQ(readPrograms, programs);
    EXPECT_EQ(readWindows.size(), 2u);
}

TEST_F(WindowListTest, RequestsAHungWindowHasNotCarriedOutCountAsDone)
{
    Hwnd hung = desk.AddWindow("Hung");
    Hwnd fine = desk.AddWindow("Fine");
    list.RefreshWindows(self);
    TWindow& h = *list.FindByHandle(hung);
    TWindow& f = *list.FindByHandle(fine);
    h.HotKeyId = f.HotKeyId = 0x0101;
    desk.Window(hung).hung = true;

    // The boss key hides both; the hung one still looks visible. A second press must bring
    // it back, not ask it to hide once more.
    list.ToggleByHotKey(0x0101);
    EXPECT_FALSE(desk.IsWindowVisible(fine));
    ASSERT_TRUE(desk.IsWindowVisible(hung));
    EXPECT_FALSE(h.WillBeVisible());
    list.ToggleByHotKey(0x0101);
    EXPECT_TRUE(desk.IsWindowVisible(fine));
    desk.Pump(hung);
    EXPECT_TRUE(desk.IsWindowVisible(hung)) << "the second press did not undo the first";

    // Hidden and closed at once: the hide is still queued, and the close must queue the
    // restore behind it, or the window hides for good once its thread runs again.
    desk.Window(hung).hung = true;
    h.SetShown(false);
    list.RestoreHidden();
    desk.Pump(hung);
    EXPECT_TRUE(desk.IsWindowVisible(hung));
    EXPECT_FALSE(desk.Window(hung).minimized);

    // Once seen done, the window's own program is in charge again: a window it showed after
    // we hid it is hidden by the next press.
    h.SetShown(false);
    EXPECT_FALSE(h.WillBeVisible());
    desk.Window(hung).visible = true;
    list.ToggleByHotKey(0x0101);
    EXPECT_FALSE(desk.IsWindowVisible(hung));
}

TEST_F(WindowListTest, RefreshEndsOnAZOrderThatChangesUnderIt)
{
    Hwnd a = desk.AddWindow("A");
    Hwnd b = desk.AddWindow("B");
    desk.AddWindow("C");
    // B is moved back to the top each time the walk passes it: the walk would go round for ever.
    desk.nextSiblingHook = [&](Hwnd w, Hwnd next) { return w == a ? b : next; };
    list.RefreshWindows(self);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_LE(desk.nextSiblingCalls, 5);

    // A desktop whose windows never end (each step names a new handle) stops at the bound.
    Hwnd fresh = 0x900000;
    desk.nextSiblingHook = [&](Hwnd, Hwnd) { return fresh += 4; };
    desk.nextSiblingCalls = 0;
    list.RefreshWindows(self);
    EXPECT_EQ(desk.nextSiblingCalls, TWindowList::kMaxWalkSteps);
    EXPECT_EQ(list.Count(), 3);
}

TEST(CaptionOrder, ComparesBytesAsUnsignedWithoutLocale)
{
    EXPECT_EQ(CompareCaptions("B", "a"), -1);          // case-sensitive: 'B' < 'a'
    EXPECT_EQ(CompareCaptions("a", "a"), 0);
    EXPECT_EQ(CompareCaptions("ab", "a"), 1);          // a prefix sorts first
    EXPECT_EQ(CompareCaptions("z", "\xB4\xB0"), -1);   // GBK lead bytes sort above ASCII
    EXPECT_EQ(CompareCaptions(std::string("a\0b", 3), std::string("a\0c", 3)), -1);
}

TEST_F(WindowListTest, SortPutsCaptionsInByteOrder)
{
    for (const char* t : {"\xB4\xB0\xBF\xDA", "beta", "Alpha", "alpha", "Zulu"})   // "窗口" in GBK first
        desk.AddWindow(t);
    // Titles read wide sort by the bytes of their code-page form, not by code point: 阿
    // (U+963F) before 中 (U+4E2D), as a GBK system has always shown them. A character the
    // code page cannot hold sorts as its '?', yet is shown exactly.
    desk.codePage = {{u'中', "\xD6\xD0"}, {u'阿', "\xB0\xA2"}};
    for (const char16_t* t : {u"中", u"阿", u"한"})
        desk.Window(desk.AddWindow("")).wideTitle = t;
    list.RefreshWindows(self);
    list.SortByCaption();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"?", "Alpha", "Zulu", "alpha", "beta", "\xB0\xA2",
                                                    "\xB4\xB0\xBF\xDA", "\xD6\xD0"}));
    EXPECT_EQ(list.Items(0).Title, "한");
    EXPECT_EQ(list.Items(5).Title, "阿");
    EXPECT_EQ(list.Items(7).Title, "中");
}

} // namespace
} // namespace tw
