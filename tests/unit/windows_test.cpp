// The window list against the simulated desktop: what a refresh keeps, adds and drops,
// and how the bulk operations treat windows in mixed states.
#include "platform/sim/SimDesktop.h"
#include "windows/uWindowsHider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

class WindowListTest : public ::testing::Test {
protected:
    sim::SimDesktop desk;
    Hwnd self = desk.AddWindow("Tarnwick");
    TWindowList list{desk};

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

TEST_F(WindowListTest, RefreshNeverDuplicatesAHandle)
{
    desk.AddWindow("Editor");
    list.RefreshWindows(self);
    list.RefreshWindows(self);
    list.RefreshWindows(self);
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(WindowListTest, HiddenEntriesSurviveRefreshesAndFollowTitleChanges)
{
    Hwnd w = desk.AddWindow("Report.doc");
    list.RefreshWindows(self);
    TWindow* entry = list.FindByHandle(w);
    ASSERT_NE(entry, nullptr);
    entry->Selected = true;
    entry->SetShown(false);
    ASSERT_FALSE(desk.IsWindowVisible(w));

    desk.Window(w).title = "Report.doc (saved)";
    list.RefreshWindows(self);
    list.RefreshWindows(self);

    ASSERT_EQ(list.FindByHandle(w), entry);   // the same entry, with its tick
    EXPECT_TRUE(entry->Selected);
    EXPECT_EQ(entry->Caption, "Report.doc (saved)");
}

TEST_F(WindowListTest, EntryKeepsOldCaptionWhenItsWindowLosesTheTitle)
{
    Hwnd w = desk.AddWindow("Named");
    list.RefreshWindows(self);
    desk.Window(w).title.clear();
    list.RefreshWindows(self);
    ASSERT_NE(list.FindByHandle(w), nullptr);
    EXPECT_EQ(list.FindByHandle(w)->Caption, "Named");
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

    list.RefreshWindows(self);
    EXPECT_EQ(list.FindByHandle(a), nullptr);
    EXPECT_NE(list.FindByHandle(b), nullptr);
    EXPECT_EQ(list.Count(), 1);
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

TEST_F(WindowListTest, TitlesAreCutAt254Bytes)
{
    desk.AddWindow(std::string(400, 'x'));
    list.RefreshWindows(self);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).Caption.size(), 254u);
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
    list.RefreshWindows(self);
    list.FindByHandle(ours)->SetShown(false);
    desk.Window(theirs).visible = false;   // its program hid it after we listed it
    desk.log.clear();

    list.RestoreHidden();

    EXPECT_TRUE(desk.IsWindowVisible(ours));
    EXPECT_TRUE(desk.IsWindowVisible(theirs));
    EXPECT_TRUE(desk.Window(minimised).minimized);
    EXPECT_EQ(desk.log.size(), 2u);
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
    list.RefreshWindows(self);
    list.SortByCaption();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Alpha", "Zulu", "alpha", "beta", "\xB4\xB0\xBF\xDA"}));
}

TEST_F(WindowListTest, ContainsOnlyLiveEntries)
{
    Hwnd w = desk.AddWindow("Soon gone");
    list.RefreshWindows(self);
    TWindow* entry = list.FindByHandle(w);
    EXPECT_TRUE(list.Contains(entry));
    desk.DestroyWindow(w);
    list.RefreshWindows(self);
    EXPECT_FALSE(list.Contains(entry));
    EXPECT_FALSE(list.Contains(nullptr));
}

} // namespace
} // namespace tw
