// The tray icon list against a simulated shell: what a reading lists, how a refresh keeps,
// drops and appends icons, and how hiding behaves when the toolbar does not cooperate.
#include "app/RestoreRecorded.h"
#include "record/uHiddenRecord.h"
#include "sim/ForwardingWindows.h"
#include "sim/SimDesktop.h"
#include "sim/SimRegistry.h"
#include "sim/SimStore.h"
#include "sim/SimToolbar.h"
#include "tray/uTrayIconHider.h"
#include "windows/uWindowsHider.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tw {
namespace {

constexpr std::uint32_t kShellPid = 42;
constexpr char kRecordPath[] = "D:\\Hidden.dat";

// Counts what reaches the system, so a test can tell that a dead shell was not pestered.
class CountingWindows final : public sim::ForwardingWindows {
public:
    using ForwardingWindows::ForwardingWindows;
    int sends = 0;
    int failedSends = 0;

    bool SendMessageA(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                      std::intptr_t& result) override
    {
        ++sends;
        bool ok = ForwardingWindows::SendMessageA(w, msg, wParam, lParam, result);
        failedSends += ok ? 0 : 1;
        return ok;
    }
    bool SendMessageWithin(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, unsigned timeoutMs,
                           std::intptr_t& result) override
    {
        ++sends;
        bool ok = ForwardingWindows::SendMessageWithin(w, msg, wParam, lParam, timeoutMs, result);
        failedSends += ok ? 0 : 1;
        return ok;
    }
};

class TrayTest : public ::testing::Test {
protected:
    sim::SimDesktop desk;
    sim::SimTray tray = sim::AddShellTray(desk, kShellPid);
    sim::SimToolbar toolbar{desk, tray.toolbar};
    CountingWindows windows{desk};
    sim::SimStore store;
    THiddenRecord record{store, windows, desk, kRecordPath};

    std::unique_ptr<TTrayIconList> NewList() { return std::make_unique<TTrayIconList>(windows, desk, &record); }

    // What the next start would find in the record file.
    std::unique_ptr<THiddenRecord> ReadRecord()
    {
        auto fresh = std::make_unique<THiddenRecord>(store, windows, desk, kRecordPath);
        fresh->Load();
        return fresh;
    }
    std::vector<std::int32_t> RecordedIds()
    {
        std::vector<std::int32_t> ids;
        auto fresh = ReadRecord();
        for (const RecordedIcon& icon : fresh->Icons())
            ids.push_back(icon.id);
        return ids;
    }

    static std::vector<std::pair<std::int32_t, std::string>> Icons(TTrayIconList& list)
    {
        std::vector<std::pair<std::int32_t, std::string>> out;
        for (int i = 0; i < list.Count(); ++i)
            out.emplace_back(list.Items(i).CommandId, list.Items(i).Name);
        return out;
    }

    std::vector<std::string> Read(TTrayIconList& list)
    {
        std::vector<std::string> lines;
        list.ReadButtons(lines);
        return lines;
    }

    // Every buffer reserved in the shell was given back, and the shell's memory was only
    // ever touched where we pointed it.
    void ExpectShellLeftClean()
    {
        sim::SimProcess& shell = desk.Process(kShellPid);
        EXPECT_EQ(shell.reservations, shell.releases);
        EXPECT_TRUE(shell.buffers.empty());
        EXPECT_EQ(toolbar.badPointers, 0);
        EXPECT_EQ(toolbar.dirtyRecords, 0);
    }
};

// The shell's windows go, innermost first (the simulated desktop takes only direct
// children along with a window).
void DestroyShell(sim::SimDesktop& desk, const sim::SimTray& tray)
{
    for (Hwnd w : {tray.toolbar, tray.pager, tray.notify, tray.taskbar})
        if (w)
            desk.DestroyWindow(w);
}

using Lines = std::vector<std::string>;
using IconRows = std::vector<std::pair<std::int32_t, std::string>>;

TEST(TrayLineTest, SplitsAtTheFirstEqualsSignOnly)
{
    TrayLine line = SplitTrayLine("7=A=B");
    EXPECT_EQ(line.name, "7");
    EXPECT_EQ(line.value, "A=B");
    EXPECT_EQ(TrayLineId(line), 7);

    TrayLine negative = SplitTrayLine("-12=");
    EXPECT_EQ(TrayLineId(negative), -12);
    EXPECT_EQ(negative.value, "");

    EXPECT_EQ(TrayLineId(SplitTrayLine("=text")), std::nullopt);
    EXPECT_EQ(TrayLineId(SplitTrayLine("12x=text")), std::nullopt);
    EXPECT_EQ(TrayLineId(SplitTrayLine("2147483648=too big")), std::nullopt);
    EXPECT_EQ(TrayLineId(SplitTrayLine("-2147483648=smallest")), INT32_MIN);
}

TEST_F(TrayTest, ReadingListsVisibleButtonsInToolbarOrder)
{
    toolbar.buttons = {
        {1, "QQ"},
        {7, "A=B"},
        {-3, "", false, true, u"音量 \U0001F600"}, // outside any code page, yet exact
        {5, "hidden by the system", true},
        {9, "", false, false},                  // a button without text
        {11, "last"},
    };
    auto list = NewList();
    EXPECT_EQ(list->Toolbar, tray.toolbar);

    EXPECT_EQ(Read(*list), (Lines{"1=QQ", "7=A=B", "-3=音量 \U0001F600", "9=", "11=last"}));
    EXPECT_EQ(desk.Process(kShellPid).reservations, 1);   // one buffer for the whole reading
    ExpectShellLeftClean();

    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "QQ"}, {7, "A=B"}, {-3, "音量 \U0001F600"}, {9, ""}, {11, "last"}}));
    for (int i = 0; i < list->Count(); ++i) {
        EXPECT_FALSE(list->Items(i).Hidden);
        EXPECT_EQ(list->Items(i).Toolbar, tray.toolbar);
        EXPECT_EQ(list->Items(i).Owner, list.get());
    }
}

TEST_F(TrayTest, ButtonWithoutTextNeverInheritsOtherBytes)
{
    // A 64-bit shell fills a 32-byte record whose tail lands where the text goes, and a
    // button without text leaves the previous button's text in place.
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "64-bit shell" : "32-bit shell");
        desk.Process(kShellPid).pointerSize = wide ? 8 : 4;
        toolbar.buttons = {{-1, "", true, false}, {3, "Volume"}, {4, "", false, false}, {-2, "", false, false}};
        auto list = NewList();
        EXPECT_EQ(Read(*list), (Lines{"3=Volume", "4=", "-2="}));
        ExpectShellLeftClean();
    }
}

// Counts the questions the owners cost.
class CountingIdentity final : public IdentityApi {
public:
    explicit CountingIdentity(sim::SimDesktop& desk) : desk_(desk) {}
    int asked = 0;
    std::uint64_t ProcessCreationTime(std::uint32_t pid) override { return desk_.ProcessCreationTime(pid); }
    std::optional<std::string> ProcessImagePath(std::uint32_t pid) override
    {
        ++asked;
        return desk_.ProcessImagePath(pid);
    }

private:
    sim::SimDesktop& desk_;
};

TEST_F(TrayTest, OwnersAreReadWhenAskedForOncePerProgram)
{
    // The owner is the first field of the shell's record for the button; a 64-bit shell keeps
    // it above 4 GB, 8 bytes wide.
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "64-bit shell" : "32-bit shell");
        desk.Process(kShellPid).pointerSize = wide ? 8 : 4;
        desk.Process(100).image = "C:\\Apps\\mail.exe";
        desk.Process(101).image = std::nullopt;   // another user's, or elevated: access denied
        toolbar.buttons = {{1, "Mail"}, {2, "Mail, 2 new"}, {3, "Locked"}, {4, "Nobody's"}};
        toolbar.buttons[0].owner = desk.AddWindow("", false, "MailWnd", 0, 100);
        toolbar.buttons[1].owner = desk.AddWindow("", false, "MailWnd", 0, 100);
        toolbar.buttons[2].owner = desk.AddWindow("", false, "LockedWnd", 0, 101);
        CountingIdentity identity(desk);
        TTrayIconList list(windows, desk, &record, nullptr, &identity);

        list.RefreshIcons();   // the common refresh does not pay for owners
        EXPECT_FALSE(list.FindById(1)->OwnerRead);
        EXPECT_EQ(identity.asked, 0);
        list.LearnOwner(*list.FindById(2));
        EXPECT_EQ(list.FindById(2)->OwnerPath, "C:\\Apps\\mail.exe");

        list.ReadOwners = true;
        list.RefreshIcons();
        const std::vector<std::string> owners = {"C:\\Apps\\mail.exe", "C:\\Apps\\mail.exe", "", ""};
        for (int i = 0; i < list.Count(); ++i) {
            EXPECT_TRUE(list.Items(i).OwnerRead);
            EXPECT_EQ(list.Items(i).OwnerPath, owners[static_cast<std::size_t>(i)]) << i;
        }
        EXPECT_EQ(identity.asked, 1 + 2);   // each program once in a refresh
        ExpectShellLeftClean();
    }
}

TEST_F(TrayTest, TextIsCutAtWhatWeReadBack)
{
    // The toolbar copies a text wherever it is told, as far as the capacity we give it: past
    // our buffer it would land in the shell's own memory, or fault it. The capacity is in
    // UTF-16 units, and the request is laid out as the shell's build lays it out.
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "64-bit shell" : "32-bit shell");
        desk.Process(kShellPid).pointerSize = wide ? 8 : 4;
        toolbar.buttons = {{1, std::string(1025, 'x')}, {2, "next"}, {3, std::string(1026, 'y')},
                           {4, std::string(70000, 'w')}};
        auto list = NewList();
        EXPECT_EQ(Read(*list), (Lines{"1=" + std::string(1025, 'x'), "2=next", "3=" + std::string(1025, 'y'),
                                      "4=" + std::string(1025, 'w')}));
        ExpectShellLeftClean();
    }
}

TEST_F(TrayTest, RefreshDropsVanishedKeepsSurvivorsInPlaceAndAppendsNew)
{
    toolbar.buttons = {{1, "one"}, {2, "two"}, {3, "three"}};
    auto list = NewList();
    list->RefreshIcons();
    TTrayIcon* one = list->FindById(1);
    TTrayIcon* three = list->FindById(3);

    // The shell reorders, a program removes its icon, another adds one, and one changes its tip.
    toolbar.buttons = {{4, "four"}, {3, "three, renamed"}, {1, "one"}, {5, "five"}};
    toolbar.received.clear();
    list->RefreshIcons();
    EXPECT_EQ(toolbar.Received(tb::GetButtonInfoW), 2);   // the new icons' texts alone

    EXPECT_EQ(Icons(*list), (IconRows{{1, "one"}, {3, "three"}, {4, "four"}, {5, "five"}}));
    EXPECT_EQ(list->FindById(1), one);     // the same icons, not new ones
    EXPECT_EQ(list->FindById(3), three);
    EXPECT_EQ(list->FindById(2), nullptr);
    ExpectShellLeftClean();
}

TEST_F(TrayTest, DuplicatedIdentifierIsListedOnceWithItsFirstText)
{
    toolbar.buttons = {{8, "first"}, {-8, "negative"}, {8, "second"}};
    auto list = NewList();
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{8, "first"}, {-8, "negative"}}));
}

TEST_F(TrayTest, TickedIconStaysHiddenAcrossRefreshes)
{
    toolbar.buttons = {{1, "kept"}, {2, "plain"}};
    auto list = NewList();
    list->RefreshIcons();
    TTrayIcon& kept = *list->FindById(1);
    kept.SetShown(false);
    kept.Hidden = true;
    // An icon we hid without a tick (say the tick was toggled from the keyboard) comes back.
    list->FindById(2)->SetShown(false);
    list->LooksChanged();

    // Another program adds an icon: the look once a second sees it, and neither the refresh
    // it starts nor the next shows the ticked icon, not even for a moment, to read it.
    toolbar.buttons.push_back({3, "new"});
    EXPECT_TRUE(list->LooksChanged());
    list->RefreshIcons();
    EXPECT_FALSE(list->LooksChanged());
    list->RefreshIcons();

    EXPECT_EQ(Icons(*list), (IconRows{{1, "kept"}, {2, "plain"}, {3, "new"}}));
    EXPECT_TRUE(kept.Hidden);
    EXPECT_TRUE(toolbar.Find(1)->hidden);
    EXPECT_FALSE(toolbar.Find(2)->hidden);
    EXPECT_EQ(toolbar.shownWhileHidden, std::vector<std::int32_t>{2});

    // Its program removes the ticked icon and adds it anew between two looks: the count is
    // the same, but the icon shows.
    toolbar.buttons.erase(toolbar.buttons.begin());
    toolbar.buttons.push_back({4, "kept"});
    EXPECT_TRUE(list->LooksChanged());
}

TEST_F(TrayTest, IconHiddenByItsOwnProgramIsNotListedUntilShown)
{
    toolbar.buttons = {{1, "a"}, {2, "b", true}};
    auto list = NewList();
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "a"}}));
    EXPECT_TRUE(toolbar.Find(2)->hidden);   // and we did not show it either

    toolbar.Find(2)->hidden = false;
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "a"}, {2, "b"}}));
}

TEST_F(TrayTest, ShellThatCannotBeOpenedOrReservedGivesAnEmptyList)
{
    toolbar.buttons = {{1, "a"}};
    auto list = NewList();
    list->RefreshIcons();
    ASSERT_EQ(list->Count(), 1);

    desk.Process(kShellPid).canReserve = false;
    list->RefreshIcons();
    EXPECT_EQ(list->Count(), 0);

    desk.Process(kShellPid).canReserve = true;
    desk.Process(kShellPid).openable = false;
    list->RefreshIcons();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(toolbar.Received(tb::ButtonCount), 1);   // only the first reading got that far
    ExpectShellLeftClean();
}

TEST_F(TrayTest, FindsTheToolbarThroughWhateverTheShellHas)
{
    sim::SimDesktop other;
    auto find = [&other](sim::SimTray t) {
        CountingWindows w(other);
        return std::pair{TTrayIconList(w, other).Toolbar, t};
    };

    auto [noPager, t1] = find(sim::AddShellTray(other, 7, false, true));
    EXPECT_EQ(noPager, t1.toolbar);
    auto [noToolbar, t2] = find(sim::AddShellTray(other, 7, true, false));
    EXPECT_EQ(noToolbar, t2.pager);              // the topmost taskbar is the newest

    sim::SimDesktop bare;
    bare.AddWindow("", false, "Shell_TrayWnd");   // a taskbar without a notification area
    CountingWindows w(bare);
    EXPECT_EQ(TTrayIconList(w, bare).Toolbar, 0u);
}

TEST_F(TrayTest, NoTaskbarEmptiesTheListWithoutReading)
{
    toolbar.buttons = {{1, "a"}, {2, "b"}};
    auto list = NewList();
    list->RefreshIcons();
    list->FindById(1)->SetShown(false);
    list->FindById(1)->Hidden = true;

    DestroyShell(desk, tray);
    list->RefreshIcons();

    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(list->Toolbar, 0u);
    ExpectShellLeftClean();
}

TEST_F(TrayTest, WildButtonCountIsCutDown)
{
    // A toolbar that answers the count with nonsense and everything else with 0.
    desk.Window(tray.toolbar).onMessage = [](std::uint32_t msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        return msg == tb::ButtonCount ? 0x7FFFFFFF : 0;
    };
    auto list = NewList();
    Lines lines = Read(*list);
    EXPECT_EQ(lines.size(), 4096u);
    EXPECT_EQ(lines.front(), "0=");
    EXPECT_EQ(desk.Process(kShellPid).releases, 1);
}

TEST_F(TrayTest, AWindowThatIsNoToolbarIsNeverSentAToolbarMessage)
{
    // Without a toolbar the search ends at the pager or the notification window, which take
    // the toolbar's message numbers for messages of their own.
    for (bool withPager : {true, false}) {
        SCOPED_TRACE(withPager ? "pager" : "notification window");
        sim::SimDesktop odd;
        sim::SimTray t = sim::AddShellTray(odd, kShellPid, withPager, false);
        const Hwnd fallback = withPager ? t.pager : t.notify;
        int received = 0;
        odd.Window(fallback).onMessage = [&received](std::uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            ++received;
            return 1;
        };
        CountingWindows w(odd);
        TTrayIconList list(w, odd);
        EXPECT_EQ(list.Toolbar, fallback);
        list.RefreshIcons();
        list.AddIcon(1, "made by hand", false);
        list.ShowAll();
        EXPECT_EQ(list.Count(), 1);
        EXPECT_EQ(received, 0);
    }
}

TEST_F(TrayTest, HungToolbarEndsTheReadingWithWhatWasRead)
{
    toolbar.buttons = {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}};
    // The count, then two messages per button (the record, which says whether it is hidden,
    // and the text): the shell stops answering in button 3.
    toolbar.hangAfter = 1 + 2 * 2 + 1;
    auto list = NewList();
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "a"}, {2, "b"}}));
    EXPECT_EQ(windows.failedSends, 1);   // the new icons were not asked to show themselves
    ExpectShellLeftClean();
}

TEST_F(TrayTest, HungShellCostsOneTimeOutPerRefreshAndForgetsNothing)
{
    toolbar.buttons = {{1, "a"}, {2, "b"}, {3, "c"}};
    auto list = NewList();
    list->RefreshIcons();
    TTrayIcon& one = *list->FindById(1);
    one.SetShown(false);
    one.Hidden = true;

    desk.Window(tray.toolbar).hung = true;
    windows.failedSends = 0;
    list->RefreshIcons();
    EXPECT_EQ(windows.failedSends, 1);
    EXPECT_EQ(list->Count(), 3);
    windows.failedSends = 0;
    list->ShowAll();
    EXPECT_EQ(windows.failedSends, 1);

    // Once it answers again, what we hid is found and hidden again as ticked.
    desk.Window(tray.toolbar).hung = false;
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "a"}, {2, "b"}, {3, "c"}}));
    EXPECT_TRUE(toolbar.Find(1)->hidden);
    EXPECT_TRUE(one.Hidden);
    ExpectShellLeftClean();
}

// Busy, yet not counted hung by the system: every message waits as long as it is let.
TEST_F(TrayTest, BusyShellHoldsUpNeitherTheLookOnceASecondNorTheLogOff)
{
    toolbar.buttons = {{1, "a"}, {2, "b"}};
    auto list = NewList();
    list->RefreshIcons();
    list->FindById(1)->SetHidden(true);
    list->LooksChanged();

    desk.Window(tray.toolbar).busyMs = 2500;
    desk.waitedMs = 0;
    EXPECT_FALSE(list->LooksChanged());   // no answer is no news, and starts no refresh
    EXPECT_LE(desk.waitedMs, 100u);
    // Counted hung, it is not even asked.
    desk.Window(tray.toolbar).hung = true;
    windows.sends = 0;
    EXPECT_FALSE(list->LooksChanged());
    EXPECT_EQ(windows.sends, 0);
    desk.Window(tray.toolbar).hung = false;

    // The session ends: the icon stays hidden and recorded, for the next start to sort out.
    list->ShowHidden(false);
    EXPECT_LE(desk.waitedMs, 200u);
    EXPECT_TRUE(toolbar.Find(1)->hidden);
    EXPECT_EQ(RecordedIds(), std::vector<std::int32_t>{1});

    desk.Window(tray.toolbar).busyMs = 0;
    EXPECT_FALSE(list->LooksChanged());
    list->ShowHidden(false);
    EXPECT_FALSE(toolbar.Find(1)->hidden);
    EXPECT_TRUE(RecordedIds().empty());
}

TEST_F(TrayTest, HideAndShowAskTwiceAndRequestOnce)
{
    toolbar.buttons = {{-5, "a"}};
    auto list = NewList();
    TTrayIcon& icon = list->AddIcon(-5, "a", false);
    EXPECT_TRUE(toolbar.Find(-5)->hidden);
    EXPECT_FALSE(icon.Hidden);
    EXPECT_EQ(toolbar.Received(tb::IsButtonHidden), 2);
    EXPECT_EQ(toolbar.Received(tb::HideButton), 1);

    toolbar.received.clear();
    EXPECT_TRUE(icon.SetShown(false));   // already hidden: one question, no request
    EXPECT_EQ(toolbar.ReceivedTotal(), 1);

    list->ShowAll();
    EXPECT_FALSE(toolbar.Find(-5)->hidden);
    EXPECT_FALSE(icon.Hidden);   // SetShown never touches the tick
}

TEST_F(TrayTest, HidingIsBoundedWhenTheToolbarNeverComplies)
{
    toolbar.buttons = {{1, "a"}};
    auto list = NewList();
    list->RefreshIcons();
    TTrayIcon& icon = *list->FindById(1);

    toolbar.refuseHide = true;
    toolbar.received.clear();
    EXPECT_TRUE(icon.SetShown(false));
    EXPECT_EQ(toolbar.Received(tb::HideButton), 3);
    EXPECT_EQ(toolbar.Received(tb::IsButtonHidden), 4);

    // The identifier left the toolbar: the toolbar answers "not hidden" and ignores requests.
    toolbar.refuseHide = false;
    toolbar.buttons.clear();
    toolbar.received.clear();
    icon.SetShown(false);
    EXPECT_EQ(toolbar.Received(tb::HideButton), 3);

    // The toolbar is gone: nothing is sent to its dead handle, which may one day name some
    // other window.
    desk.DestroyWindow(tray.toolbar);
    windows.sends = 0;
    EXPECT_FALSE(icon.SetShown(false));
    EXPECT_FALSE(icon.SetShown(true));
    EXPECT_EQ(windows.sends, 0);
}

TEST_F(TrayTest, IconsOfARestartedShellAreReadAgainAndTickedOnesHiddenByText)
{
    toolbar.buttons = {{1, "a"}, {2, "b"}, {4, "a"}};
    auto list = NewList();
    list->RefreshIcons();
    list->FindById(1)->SetHidden(true);

    // The shell restarts: a new taskbar, a new toolbar. The programs add their icons again
    // when they hear of it, one after another and under identifiers of the new shell's.
    DestroyShell(desk, tray);
    sim::SimTray again = sim::AddShellTray(desk, kShellPid + 1);
    sim::SimToolbar fresh(desk, again.toolbar);
    fresh.buttons = {{1, "b"}};
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "b"}}));
    EXPECT_EQ(list->Items(0).Toolbar, again.toolbar);
    EXPECT_FALSE(fresh.Find(1)->hidden);   // the same number, but not the icon that was ticked
    EXPECT_EQ(list->AwaitedTexts(), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(RecordedIds().empty());

    fresh.buttons.push_back({7, "a"});
    fresh.buttons.push_back({8, "a"});
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "b"}, {7, "a"}, {8, "a"}}));
    EXPECT_TRUE(list->FindById(7)->Hidden);
    EXPECT_TRUE(fresh.Find(7)->hidden);
    EXPECT_FALSE(fresh.Find(8)->hidden);   // one tick, one icon hidden again
    EXPECT_EQ(RecordedIds(), (std::vector<std::int32_t>{7}));
    EXPECT_TRUE(list->AwaitedTexts().empty());

    // An icon its program removes from a toolbar that is still there is not awaited.
    fresh.buttons.erase(fresh.buttons.begin() + 1);
    list->RefreshIcons();
    EXPECT_TRUE(list->AwaitedTexts().empty());
}

TEST_F(TrayTest, FlyoutIconsFollowTheTaskbarsAndAreTreatedAlike)
{
    Hwnd flyout = sim::AddOverflowToolbar(desk, kShellPid);
    sim::SimToolbar overflow(desk, flyout);
    toolbar.buttons = {{1, "clock"}, {2, "volume"}};
    overflow.buttons = {{1, "mail"}, {3, "chat", true}, {4, "sync"}};
    auto list = NewList();
    EXPECT_EQ(list->Overflow, flyout);
    EXPECT_EQ(Read(*list), (Lines{"1=clock", "2=volume", "1=mail", "4=sync"}));

    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "clock"}, {2, "volume"}, {1, "mail"}, {4, "sync"}}));
    TTrayIcon& mail = *list->Find(flyout, 1);
    mail.SetHidden(true);
    EXPECT_TRUE(overflow.Find(1)->hidden);
    EXPECT_FALSE(toolbar.Find(1)->hidden);   // the same number on the taskbar is another icon

    // A refresh keeps it hidden and forgets what left the flyout; a killed run's next start
    // finds it in the record.
    overflow.buttons.erase(overflow.buttons.begin() + 2);
    list->RefreshIcons();
    EXPECT_EQ(Icons(*list), (IconRows{{1, "clock"}, {2, "volume"}, {1, "mail"}}));
    EXPECT_TRUE(overflow.Find(1)->hidden);
    auto next = ReadRecord();
    TTrayIconList adopted{windows, desk, next.get()};
    adopted.AdoptRecorded();
    ASSERT_EQ(adopted.Count(), 1);
    EXPECT_EQ(adopted.Items(0).Toolbar, flyout);

    list->ShowHidden();
    EXPECT_FALSE(overflow.Find(1)->hidden);
    EXPECT_TRUE(overflow.Find(3)->hidden);
    EXPECT_EQ(store.files[kRecordPath], "");
}

TEST_F(TrayTest, FreeingTheListShowsNothing)
{
    toolbar.buttons = {{1, "a"}};
    auto list = NewList();
    list->RefreshIcons();
    list->FindById(1)->SetShown(false);
    list.reset();
    EXPECT_TRUE(toolbar.Find(1)->hidden);
}

TEST_F(TrayTest, ClosingGivesBackOnlyTheIconsWeHidAndTheRecordFollows)
{
    toolbar.buttons = {{1, "ours"}, {2, "theirs"}, {3, "plain"}};
    auto list = NewList();
    list->RefreshIcons();
    list->FindById(1)->SetHidden(true);
    EXPECT_TRUE(toolbar.Find(1)->hidden);
    EXPECT_EQ(RecordedIds(), (std::vector<std::int32_t>{1}));
    toolbar.Find(2)->hidden = true;   // its own program hid it after we listed it

    list->ShowHidden();

    EXPECT_FALSE(toolbar.Find(1)->hidden);
    EXPECT_TRUE(toolbar.Find(2)->hidden);
    EXPECT_FALSE(list->FindById(1)->Hidden);
    EXPECT_EQ(store.files[kRecordPath], "");
}

TEST_F(TrayTest, AKilledRunsIconsAreFoundAgainWhileTheSameShellHoldsThem)
{
    // The record keeps tips in the code page's bytes, which every version of the program reads.
    desk.codePage = {{u'音', "\xD2\xF4"}, {u'量', "\xC1\xBF"}};
    toolbar.buttons = {{1, "a"}, {2, "", false, true, u"音量"}, {3, "c"}};
    Hwnd mail = desk.AddWindow("Mail");
    {
        auto list = NewList();
        list->RefreshIcons();
        for (std::int32_t id : {1, 2, 3})
            list->FindById(id)->SetHidden(true);
        TWindowList windowList{windows, &record};
        windowList.AddWindow(mail, "Mail", "").SetShown(false);
        // Killed here: nothing is given back.
    }
    toolbar.buttons.erase(toolbar.buttons.begin() + 2);   // icon 3's program removed it meanwhile

    // The next start lists the two that are still there, ticked, and keeps them hidden.
    auto next = ReadRecord();
    TTrayIconList adopted{windows, desk, next.get()};
    EXPECT_NE(store.files[kRecordPath].find(" 2 D2F4C1BF\n"), std::string::npos);
    adopted.AdoptRecorded();
    EXPECT_EQ(Icons(adopted), (IconRows{{1, "a"}, {2, "音量"}}));
    EXPECT_TRUE(adopted.Items(0).Hidden && adopted.Items(1).Hidden);
    EXPECT_EQ(RecordedIds(), (std::vector<std::int32_t>{1, 2}));
    adopted.RefreshIcons();
    EXPECT_TRUE(toolbar.Find(1)->hidden && toolbar.Find(2)->hidden);
    EXPECT_TRUE(toolbar.shownWhileHidden.empty());   // not even while the start reads them

    // "/restore" gives back the icons and the window, and leaves the record empty.
    RestoreRecorded(*ReadRecord(), windows, desk);
    EXPECT_FALSE(toolbar.Find(1)->hidden || toolbar.Find(2)->hidden);
    EXPECT_TRUE(desk.IsWindowVisible(mail));
    EXPECT_EQ(store.files[kRecordPath], "");

    // After the shell has restarted, a recorded identifier names some other icon: it is
    // never touched, only forgotten.
    auto list = NewList();
    list->RefreshIcons();
    list->FindById(1)->SetHidden(true);
    desk.Process(kShellPid).created = 2;
    toolbar.received.clear();
    RestoreRecorded(*ReadRecord(), windows, desk);
    EXPECT_TRUE(toolbar.Find(1)->hidden);
    EXPECT_EQ(toolbar.Received(tb::HideButton), 0);
    EXPECT_EQ(store.files[kRecordPath], "");
}

TEST_F(TrayTest, OnWindows11TheIconSettingsAreListedAndIsPromotedPutBack)
{
    // The Windows 11 shell: a taskbar whose notification area has no toolbar, a key per icon.
    DestroyShell(desk, tray);
    sim::AddShellTray(desk, kShellPid, false, false);
    desk.version = {10, 0, 22000};
    sim::SimRegistry reg;
    const std::string root = "Control Panel\\NotifyIconSettings";
    reg.keys[root];
    reg.keys[root + "\\11"] = {{{"InitialTooltip", "Mail"}, {"ExecutablePath", "C:\\x\\mail.exe"}}, {{"IsPromoted", 1}}};
    // Never moved (no value), and named below a known folder, as the shell writes most paths.
    reg.keys[root + "\\12"] = {{{"ExecutablePath", "{6D809377-6AF0-444B-8957-A3773F02200E}\\chat.exe"}}, {}};
    reg.knownFolders["{6D809377-6AF0-444B-8957-A3773F02200E}"] = "C:\\Program Files";
    reg.keys[root + "\\13"] = {{{"InitialTooltip", ""}, {"ExecutablePath", "D:/sync.exe"}}, {{"IsPromoted", 0}}};
    auto promoted = [&](const char* key) { return reg.ReadDword(root + "\\" + key, "IsPromoted"); };

    TTrayIconList list(windows, desk, &record, &reg);
    list.RefreshIcons();
    EXPECT_TRUE(list.Readable());
    EXPECT_EQ(Icons(list), (IconRows{{0, "Mail"}, {0, "chat.exe"}, {0, "sync.exe"}}));
    EXPECT_EQ(reg.writes, 0);   // reading changes nothing
    // There is no toolbar to watch: a new program's icon adds a key.
    EXPECT_TRUE(list.LooksChanged());
    EXPECT_FALSE(list.LooksChanged());
    reg.keys[root + "\\14"] = {{{"ExecutablePath", "{00000000-0000-0000-0000-000000000000}\\odd.exe"}}, {}};
    EXPECT_TRUE(list.LooksChanged());
    CountingIdentity identity(desk);
    TTrayIconList owned(windows, desk, nullptr, &reg, &identity);
    owned.ReadOwners = true;
    owned.RefreshIcons();
    ASSERT_EQ(owned.Count(), 4);
    EXPECT_EQ(owned.Items(0).OwnerPath, "C:\\x\\mail.exe");
    EXPECT_EQ(owned.Items(1).OwnerPath, "C:\\Program Files\\chat.exe");
    EXPECT_EQ(owned.Items(3).OwnerPath, "");   // a folder this system does not know
    reg.keys.erase(root + "\\14");

    list.Items(0).SetHidden(true);
    list.Items(1).SetHidden(true);
    const int writes = reg.writes;
    list.RefreshIcons();   // the icons stay in the flyout all along
    EXPECT_LE(reg.writes - writes, 2);
    EXPECT_EQ(promoted("11"), 0u);
    EXPECT_EQ(promoted("12"), 0u);
    list.Items(0).SetHidden(false);
    EXPECT_EQ(promoted("11"), 1u);
    list.Items(2).SetHidden(false);   // never hidden by us: left as the user set it
    EXPECT_EQ(promoted("13"), 0u);
    // Hidden by us, then dragged back onto the taskbar by the user: unticking it keeps
    // their choice, and the record lets it go.
    list.Items(2).SetHidden(true);
    reg.keys[root + "\\13"].dwords["IsPromoted"] = 1;
    list.Items(2).SetHidden(false);
    EXPECT_EQ(promoted("13"), 1u);
    EXPECT_EQ(ReadRecord()->Settings().size(), 1u);   // the chat icon's alone

    // Killed with the chat icon hidden: "/restore" (and a start, then its close) puts back
    // that it had no value at all.
    auto next = ReadRecord();
    ASSERT_EQ(next->Settings().size(), 1u);
    RestoreRecorded(*next, windows, desk, &reg);
    EXPECT_EQ(promoted("12"), std::nullopt);
    EXPECT_EQ(store.files[kRecordPath], "");

    // The settings cannot be read for a while: icons we moved into the flyout are put back
    // before they leave the list, and while they cannot be, they stay listed and ticked.
    list.Items(0).SetHidden(true);
    list.Items(2).SetHidden(true);
    reg.keys.erase(root);
    reg.readOnly = true;
    list.RefreshIcons();
    EXPECT_EQ(Icons(list), (IconRows{{0, "Mail"}, {0, "sync.exe"}}));
    EXPECT_TRUE(list.Items(0).Hidden && list.Items(1).Hidden);
    EXPECT_EQ(ReadRecord()->Settings().size(), 2u);
    reg.readOnly = false;
    list.RefreshIcons();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(promoted("11"), 1u);
    EXPECT_EQ(promoted("13"), 1u);
    EXPECT_EQ(store.files[kRecordPath], "");

    // Neither a toolbar nor the settings (before Windows 11 they are not looked for).
    reg.keys[root];
    desk.version = {10, 0, 19045};
    list.RefreshIcons();
    EXPECT_FALSE(list.Readable());
    EXPECT_EQ(list.Count(), 0);
}

// The record is a file anybody may edit, and its settings are written back to: a line is
// acted on only when it names a key of the notification-icon settings themselves.
TEST_F(TrayTest, ARecordedSettingNamesNothingButAnIconSettingsKey)
{
    desk.version = {10, 0, 22000};
    sim::SimRegistry reg;
    const std::string root = "Control Panel\\NotifyIconSettings";
    const std::vector<std::string> elsewhere = {"11\\Deep", "..", ".", "", std::string("11\0", 3),
                                                "a/b", std::string(256, '1')};
    std::vector<RecordedSetting> recorded = {{"11", 1u}};
    for (const std::string& key : elsewhere) {
        reg.keys[root + "\\" + key].dwords["IsPromoted"] = 0;
        recorded.push_back({key, 1u});
    }
    reg.keys[root + "\\11"].dwords["IsPromoted"] = 0;
    store.files[kRecordPath] = THiddenRecord::Format({}, {}, recorded);

    auto next = ReadRecord();
    ASSERT_EQ(next->Settings().size(), 1u);
    EXPECT_EQ(next->Settings()[0].key, "11");
    RestoreRecorded(*next, windows, desk, &reg);
    EXPECT_EQ(reg.ReadDword(root + "\\11", "IsPromoted"), 1u);
    for (const std::string& key : elsewhere)
        EXPECT_EQ(reg.ReadDword(root + "\\" + key, "IsPromoted"), 0u) << key;
}

// The session can end while a refresh waits on the shell: the close sequence runs inside the
// wait, and what it gave back must not be hidden again when the refresh carries on.
TEST_F(TrayTest, SessionEndDuringARefreshLeavesWhatItGaveBackShown)
{
    toolbar.buttons = {{1, "a"}, {2, "b"}};
    auto list = NewList();
    list->RefreshIcons();
    list->FindById(1)->SetHidden(true);
    auto answer = desk.Window(tray.toolbar).onMessage;
    bool ended = false;
    desk.Window(tray.toolbar).onMessage = [&](std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
        if (msg == tb::ButtonCount && !ended) {
            ended = true;
            list->ShowHidden();
        }
        return answer(msg, wParam, lParam);
    };

    list->RefreshIcons();

    ASSERT_TRUE(ended);
    EXPECT_FALSE(toolbar.Find(1)->hidden);
    EXPECT_FALSE(list->FindById(1)->Hidden);
    EXPECT_TRUE(RecordedIds().empty());
    ExpectShellLeftClean();
}

} // namespace
} // namespace tw
