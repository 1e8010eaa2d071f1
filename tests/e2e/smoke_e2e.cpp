// tw-e2e: CODEPAGES 936 1252
// The program starts, shows its main window under its name, and ends when that is closed;
// a second start hands over to it instead of running beside it.
#include "E2e.h"

#include <gtest/gtest.h>

namespace {

using namespace tw::e2e;

TEST(Smoke, StartsShowsMainWindowAndClosesCleanly) {
    App app;
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    EXPECT_TRUE(IsVisible(main));
    EXPECT_FALSE(IsMinimized(main));
    EXPECT_EQ(Text(main), kMainWindowTitle);

    ASSERT_TRUE(app.Close());
    EXPECT_EQ(app.ExitCode(), 0u);
}

// Two copies would fight over the hot keys and the settings file. A second start brings the
// running copy's window up, even from hidden or minimised, and ends at once without a window.
TEST(Smoke, ASecondStartBringsTheRunningCopyUpAndEnds) {
    App app;
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    for (int how : {SW_HIDE, SW_MINIMIZE}) {
        SCOPED_TRACE(how == SW_HIDE ? "hidden" : "minimised");
        ShowWindow(main, how);
        ASSERT_TRUE(WaitUntil([&] { return how == SW_HIDE ? !IsVisible(main) : IsMinimized(main); }));

        Process second;
        ASSERT_TRUE(second.Start(app.Exe()));
        ASSERT_TRUE(second.WaitExit()) << "the second copy kept running";
        EXPECT_EQ(second.ExitCode(), 0u);
        EXPECT_TRUE(WaitUntil([&] { return IsVisible(main) && !IsMinimized(main); }))
            << "the running copy was not brought up";
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; })) << "not in front";
    }
    EXPECT_TRUE(app.Running());
    ASSERT_TRUE(app.Close());
    EXPECT_EQ(app.ExitCode(), 0u);
}

} // namespace
