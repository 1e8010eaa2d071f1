// tw-e2e: CODEPAGES 936 1252
// The program starts, shows its main window under its name, and ends when that is closed.
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

} // namespace
