// Whether a start runs as the one copy or hands over to the copy that runs already, whatever
// integrity level each of them runs at; and the commands a script hands that copy.
#include "app/Commands.h"
#include "app/SingleCopy.h"
#include "sim/SimInstance.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

constexpr Hwnd kMain = 0x10010;
using Requests = std::vector<std::string>;

// A copy that runs already, its window up and open to requests.
sim::SimInstance RunningCopy()
{
    sim::SimInstance copy;
    copy.running = true;
    copy.window = kMain;
    return copy;
}

// The start left the copy to do what was asked ("restore" or "show") and ended, content.
void ExpectHandedOver(const StartVerdict& verdict, const sim::SimInstance& copy, bool restore)
{
    EXPECT_FALSE(verdict.run);
    EXPECT_EQ(verdict.exitCode, 0);
    EXPECT_FALSE(verdict.tellElevated);
    EXPECT_EQ(copy.requests, Requests{restore ? "restore" : "show"});
}

TEST(SingleCopyTest, TheFirstStartRunsAndSoDoesOneThatCanHaveNoLock)
{
    sim::SimInstance alone;
    EXPECT_TRUE(DecideStart(alone, false).run);
    EXPECT_TRUE(alone.held);

    sim::SimInstance noLock;
    noLock.lockable = false;
    EXPECT_TRUE(DecideStart(noLock, false).run);
}

TEST(SingleCopyTest, ASecondStartHandsOverAndEndsWithoutRunning)
{
    for (bool restore : {false, true}) {
        sim::SimInstance copy = RunningCopy();
        copy.windowAfterLooks = 3;   // only just started: its window is on the way
        ExpectHandedOver(DecideStart(copy, restore), copy, restore);
    }

    // A copy that does not answer: a restore it did not carry out is a failure, and this
    // start still does not run beside it.
    sim::SimInstance hung = RunningCopy();
    hung.hung = true;
    StartVerdict verdict = DecideStart(hung, true);
    EXPECT_FALSE(verdict.run);
    EXPECT_EQ(verdict.exitCode, 1);
    EXPECT_FALSE(verdict.tellElevated);
}

// The lock of a copy run as administrator may shut a normal start out: that start must not
// take itself for the first copy, or two copies would overwrite each other's record.
TEST(SingleCopyTest, ANormalStartBesideAnElevatedCopyNeverRunsAsASecondOne)
{
    for (bool restore : {false, true}) {
        SCOPED_TRACE(restore ? "/restore" : "plain start");
        sim::SimInstance copy = RunningCopy();
        copy.elevated = true;
        copy.lockOpen = false;
        // Its window lets the requests in: it comes to the front, or gives back what it hid.
        ExpectHandedOver(DecideStart(copy, restore), copy, restore);

        // It does not (an older version, say): the user is told why nothing happened.
        sim::SimInstance deaf = copy;
        deaf.requests.clear();
        deaf.letsRequestsIn = false;
        StartVerdict told = DecideStart(deaf, restore);
        EXPECT_FALSE(told.run);
        EXPECT_TRUE(told.tellElevated);
        EXPECT_EQ(told.exitCode, restore ? 1 : 0);
        EXPECT_TRUE(deaf.requests.empty());

        // It shows no window at all: the wait for one is bounded, and ends the same way.
        sim::SimInstance windowless = copy;
        windowless.window = 0;
        StartVerdict waited = DecideStart(windowless, restore);
        EXPECT_FALSE(waited.run);
        EXPECT_TRUE(waited.tellElevated);
        EXPECT_GE(windowless.pausedMs, 5000u);
        EXPECT_LE(windowless.pausedMs, 10000u);
    }
}

TEST(SingleCopyTest, ACopyThatEndsWhileAStartLooksForItLeavesThatStartTheOne)
{
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "lock opened" : "lock shut to this start");
        sim::SimInstance copy;
        copy.running = true;
        copy.lockOpen = open;
        copy.elevated = !open;
        copy.endsAfterLooks = 4;
        EXPECT_TRUE(DecideStart(copy, false).run);
        EXPECT_TRUE(copy.held);
        EXPECT_TRUE(copy.requests.empty());
    }
}

// -----------------------------------------------------------------------------------------
// Commands from scripts and macro keys.

TEST(StartSwitchTest, AScriptsArgumentIsReadAsTypedOrQuotedAndAnythingElseIsUnknown)
{
    EXPECT_EQ(ParseStartSwitch(L""), StartSwitch::None);
    EXPECT_EQ(ParseStartSwitch(L"  \t "), StartSwitch::None);
    EXPECT_EQ(ParseStartSwitch(L"/hide"), StartSwitch::Hide);
    EXPECT_EQ(ParseStartSwitch(L" -HIDE "), StartSwitch::Hide);
    EXPECT_EQ(ParseStartSwitch(L"\"/Show\""), StartSwitch::Show);
    EXPECT_EQ(ParseStartSwitch(L"/hide-front"), StartSwitch::HideFront);
    EXPECT_EQ(ParseStartSwitch(L"/Toggle"), StartSwitch::Toggle);
    EXPECT_EQ(ParseStartSwitch(L"-quit"), StartSwitch::Quit);
    EXPECT_EQ(ParseStartSwitch(L"/restore"), StartSwitch::Restore);
    EXPECT_EQ(ParseStartSwitch(L"/hidden"), StartSwitch::Hidden);
    // Near misses: a word with more or less, two switches, no switch sign, a path dropped on us.
    for (const wchar_t* args : {L"/hid", L"/hidefront", L"/hide /show", L"hide", L"/", L"-", L"\"", L"//hide",
                                L"/hide-", L"/ｈide", L"C:\\Users\\a.txt", L"\"/hide"}) {
        EXPECT_EQ(ParseStartSwitch(args), StartSwitch::Unknown) << "args: " << testing::PrintToString(std::wstring(args));
    }
    // Each command's word is what the copy reads back, and only commands have one.
    for (StartSwitch command : {StartSwitch::Hide, StartSwitch::Show, StartSwitch::HideFront, StartSwitch::Toggle,
                                StartSwitch::Quit}) {
        const std::string_view word = CommandWord(command);
        EXPECT_EQ(ReadCommand(kCommandTag, word.data(), word.size()), command);
    }
    EXPECT_TRUE(CommandWord(StartSwitch::Restore).empty());
    EXPECT_TRUE(CommandWord(StartSwitch::Unknown).empty());
}

// Any program of the session can send the main window WM_COPYDATA: the copy acts on nothing
// but a command word of ours, exactly, and reads no byte past the size given.
TEST(StartSwitchTest, TheCopyTakesNothingButAWholeCommandWord)
{
    const char hide[] = "hide";
    EXPECT_EQ(ReadCommand(kCommandTag, hide, 4), StartSwitch::Hide);
    EXPECT_EQ(ReadCommand(kCommandTag + 1, hide, 4), std::nullopt);    // another program's data
    EXPECT_EQ(ReadCommand(0, hide, 4), std::nullopt);
    EXPECT_EQ(ReadCommand(kCommandTag, nullptr, 4), std::nullopt);     // a size without bytes
    EXPECT_EQ(ReadCommand(kCommandTag, hide, 0), std::nullopt);
    EXPECT_EQ(ReadCommand(kCommandTag, hide, 3), std::nullopt);        // "hid"
    EXPECT_EQ(ReadCommand(kCommandTag, hide, 5), std::nullopt);        // with its terminator
    EXPECT_EQ(ReadCommand(kCommandTag, "HIDE", 4), std::nullopt);      // we write it in small letters
    EXPECT_EQ(ReadCommand(kCommandTag, "restore", 7), std::nullopt);   // a switch, not a command
    EXPECT_EQ(ReadCommand(kCommandTag, "hidden", 6), std::nullopt);
    EXPECT_EQ(ReadCommand(kCommandTag, "hide\0front", 10), std::nullopt);
    // A size far beyond the bytes: refused on its size before anything is read (ASan would
    // tell otherwise).
    EXPECT_EQ(ReadCommand(kCommandTag, hide, 0x7FFFFFFF), std::nullopt);
    EXPECT_EQ(ReadCommand(kCommandTag, hide, static_cast<std::size_t>(-1)), std::nullopt);
}

TEST(SendCommandTest, TheRunningCopyCarriesItOutAndTheStartSaysHowThatWent)
{
    // Taken and done: 0. The start never holds the lock of a copy that runs.
    sim::SimInstance copy = RunningCopy();
    copy.windowAfterLooks = 3;   // only just started
    EXPECT_EQ(SendCommand(copy, StartSwitch::Hide), kCommandDone);
    EXPECT_EQ(SendCommand(copy, StartSwitch::HideFront), kCommandDone);
    EXPECT_EQ(copy.commands, (Requests{"hide", "hide-front"}));
    EXPECT_TRUE(copy.requests.empty());
    EXPECT_FALSE(copy.held);
    EXPECT_LE(copy.commandWaitMs, 5000u);

    // Quit is done once the copy has ended.
    EXPECT_EQ(SendCommand(copy, StartSwitch::Quit), kCommandDone);
    EXPECT_FALSE(copy.running);
    sim::SimInstance staying = RunningCopy();
    staying.staysOnQuit = true;
    EXPECT_EQ(SendCommand(staying, StartSwitch::Quit), kCommandNoAnswer);

    // No copy: 1, and this start takes nothing over; nor does one that cannot have a lock.
    sim::SimInstance none;
    EXPECT_EQ(SendCommand(none, StartSwitch::Show), kNoRunningCopy);
    EXPECT_EQ(none.pausedMs, 0u);
    sim::SimInstance noLock;
    noLock.lockable = false;
    EXPECT_EQ(SendCommand(noLock, StartSwitch::Show), kNoRunningCopy);
    sim::SimInstance ending = RunningCopy();
    ending.windowAfterLooks = 100;
    ending.endsAfterLooks = 2;
    EXPECT_EQ(SendCommand(ending, StartSwitch::Toggle), kNoRunningCopy);
    EXPECT_TRUE(ending.commands.empty());

    // A copy at another level is none of ours, above us (its lock shut or not) or below.
    for (bool elevated : {true, false}) {
        sim::SimInstance other = RunningCopy();
        other.elevated = elevated;
        other.lockOpen = !elevated;
        other.otherLevel = !elevated;
        EXPECT_EQ(SendCommand(other, StartSwitch::Hide), kNoRunningCopy);
        EXPECT_TRUE(other.commands.empty());
    }

    // Hung, or holding the lock with no window for ever: 2, within the 5 s a script waits.
    sim::SimInstance hung = RunningCopy();
    hung.hung = true;
    EXPECT_EQ(SendCommand(hung, StartSwitch::Hide), kCommandNoAnswer);
    sim::SimInstance windowless = RunningCopy();
    windowless.window = 0;
    EXPECT_EQ(SendCommand(windowless, StartSwitch::Hide), kCommandNoAnswer);
    EXPECT_LE(windowless.pausedMs, 5000u);
    EXPECT_GE(windowless.pausedMs, 4000u);
}

} // namespace
} // namespace tw
