// tw-e2e: CODEPAGES 936 1252
// The program starts, shows its main window under its name, and ends when that is closed;
// a second start hands over to it instead of running beside it.
#include "E2e.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>
#include <vector>

namespace {

using namespace tw::e2e;

// Two copies would fight over the hot keys and the settings file. A second start brings the
// running copy's window up, even from hidden or minimised, and ends at once without a window;
// so does a start that may not open the copy's lock (the copy runs as administrator).
TEST(Smoke, StartsUnderItsNameAndASecondStartBringsItUpAndEnds) {
    App app;
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    EXPECT_TRUE(IsVisible(main));
    EXPECT_FALSE(IsMinimized(main));
    EXPECT_EQ(Text(main), kMainWindowTitle);

    struct Case {
        int how;
        bool shut;
        const char* what;
    };
    for (Case c : {Case{SW_HIDE, false, "hidden"}, Case{SW_MINIMIZE, false, "minimised"},
                   Case{SW_MINIMIZE, true, "minimised, its lock shut to the start"}}) {
        SCOPED_TRACE(c.what);
        const int how = c.how;
        if (c.shut) {
            ASSERT_TRUE(ShutInstanceLock());
        }
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

// A lock the start may not open and no window to hand over to (a copy run as administrator
// that has not made its window yet, or has none): the start neither runs beside that copy nor
// keeps quiet about it. It says so once and ends, and writes no file.
TEST(Smoke, AStartShutOutByAnElevatedCopySaysSoOnceAndTouchesNothing) {
    App app;
    PSECURITY_DESCRIPTOR nobody = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1, &nobody, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nobody, FALSE};
    HANDLE lock = CreateMutexExW(&attributes, kInstanceLock, CREATE_MUTEX_INITIAL_OWNER, SYNCHRONIZE);
    LocalFree(nobody);
    ASSERT_TRUE(lock);

    Process start;
    ASSERT_TRUE(start.Start(app.Exe()));
    // It looks for the copy's window for a while before it gives up.
    HWND box = WaitForTopLevel(start.Id(), L"#32770", kMainWindowTitle, Ms{30000});
    ASSERT_TRUE(box) << "no message";
    EXPECT_EQ(MessageText(box), L"Tarnwick 已在以管理员身份运行");
    EXPECT_TRUE(TopLevelWindows(start.Id(), kMainWindowClass, false).empty());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(start.WaitExit());
    EXPECT_EQ(start.ExitCode(), 0u);

    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(app.FileInFolder(L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files.push_back(found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(files, std::vector<std::wstring>{L"Tarnwick.exe"});
    CloseHandle(lock);
}

} // namespace
