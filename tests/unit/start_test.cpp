// Whether a start runs as the one copy or hands over to the copy that runs already, whatever
// integrity level each of them runs at.
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

} // namespace
} // namespace tw
