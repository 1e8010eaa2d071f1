// The e2e driver against a program of our own (helpers/listview_host), so that a fault in
// the driver, or a way in which Wine differs from what the driver assumes, shows up here
// rather than as a puzzling failure in a test of Tarnwick.
#include "E2e.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

namespace {

using namespace tw::e2e;

// Reads the helper's report lines until one equals `expected`; earlier ones are skipped.
bool HelperSaid(Helper& helper, const std::string& expected) {
    while (std::optional<std::string> line = helper.ReadLine()) {
        if (*line == expected) {
            return true;
        }
    }
    return false;
}

class ListHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.Start(HelperExe(L"listview_host")));
        window_ = WaitForTopLevel(host_.Id(), L"TwListHost");
        ASSERT_NE(window_, nullptr);
        list_ = ControlById(window_, 100);
        ASSERT_NE(list_, nullptr);
    }

    Helper host_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(ListHost, ReadsRowsAsTheUserSeesThem) {
    RemoteListView rows(list_);
    ASSERT_EQ(rows.RowCount(), 5);
    EXPECT_EQ(rows.ColumnCount(), 3);
    EXPECT_EQ(rows.Column(0), (std::vector<std::wstring>{L"记事本", L"计算器", L"Paint", L"资源管理器", L"Ünïcödé"}));
    EXPECT_EQ(rows.Row(4), (std::vector<std::wstring>{L"Ünïcödé", L"C:\\Ärger\\€.exe", L"显示"}));
    EXPECT_EQ(rows.FindRow(L"隐藏", 2), 1);
    EXPECT_EQ(rows.FindRow(L"nowhere"), -1);
    EXPECT_EQ(rows.Text(99, 0), L"");
}

TEST_F(ListHost, ReadsCheckMarksAndColumnWidths) {
    RemoteListView rows(list_);
    std::vector<bool> checked;
    for (int r = 0; r < rows.RowCount(); ++r) {
        checked.push_back(rows.Checked(r));
    }
    EXPECT_EQ(checked, (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(rows.ColumnWidth(0), 120);
    EXPECT_EQ(rows.ColumnWidth(1), 200);
    EXPECT_EQ(rows.ColumnWidth(2), 80);
}

TEST_F(ListHost, CellRectanglesLineUpWithColumns) {
    RemoteListView rows(list_);
    const std::optional<RECT> path = rows.CellRect(2, 1);
    const std::optional<RECT> state = rows.CellRect(2, 2);
    const std::optional<RECT> nextRow = rows.CellRect(3, 1);
    ASSERT_TRUE(path && state && nextRow);
    EXPECT_EQ(path->right - path->left, 200);
    EXPECT_EQ(state->left, path->right);
    EXPECT_EQ(nextRow->top, path->bottom);
    // Screen coordinates: inside the list view's window.
    const RECT list = ScreenRect(list_);
    EXPECT_GE(path->left, list.left);
    EXPECT_LE(state->right, list.right);
}

TEST_F(ListHost, ClicksReachTheControlUnderThePointer) {
    ASSERT_TRUE(BringToForeground(window_));
    RemoteListView rows(list_);

    const std::optional<POINT> box = rows.CheckBoxPoint(2);
    ASSERT_TRUE(box);
    ASSERT_TRUE(Click(*box));
    EXPECT_TRUE(WaitUntil([&] { return rows.Checked(2); }));
    EXPECT_TRUE(HelperSaid(host_, "checked 2 1"));

    const std::optional<RECT> cell = rows.CellRect(4, 1);
    ASSERT_TRUE(cell);
    ASSERT_TRUE(Click(Center(*cell)));
    EXPECT_TRUE(WaitUntil([&] { return rows.Selected(4) && rows.SelectedCount() == 1; }));
    EXPECT_FALSE(rows.Checked(4)) << "a click on the text must not toggle the check box";

    const std::optional<RECT> firstState = rows.CellRect(0, 2);
    ASSERT_TRUE(firstState);
    ASSERT_TRUE(RightClick(Center(*firstState)));
    EXPECT_TRUE(HelperSaid(host_, "rclick 0"));

    ASSERT_TRUE(ClickWindow(ControlById(window_, 101)));
    EXPECT_TRUE(HelperSaid(host_, "clicked"));
}

TEST_F(ListHost, KeysReachHotKeysAndTheFocus) {
    ASSERT_TRUE(BringToForeground(window_));
    // Alt down, X down, X up, Alt up: what the user does for a hot key.
    PressKey('X', kAlt);
    EXPECT_TRUE(HelperSaid(host_, "hotkey 1"));

    HWND edit = ControlById(window_, 102);
    ASSERT_TRUE(ClickWindow(edit));
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window_) == edit; }));
    TypeText(L"abc 中文");
    EXPECT_TRUE(WaitUntil([&] { return Text(edit) == L"abc 中文"; })) << WideToUtf8(Text(edit));
    // Extended keys with a modifier: Home, then Shift+End selects all, Delete clears it.
    PressKey(VK_HOME);
    PressKey(VK_END, kShift);
    PressKey(VK_DELETE);
    EXPECT_TRUE(WaitUntil([&] { return Text(edit).empty(); })) << WideToUtf8(Text(edit));
}

TEST_F(ListHost, ReadsToolTipOfAControl) {
    EXPECT_EQ(ToolTipOf(ControlById(window_, 101)), L"隐藏选中的窗口");
    EXPECT_EQ(ToolTipOf(list_), L"");
}

TEST_F(ListHost, WindowStateAsTheUserSeesIt) {
    EXPECT_EQ(Text(window_), L"列表宿主");
    EXPECT_TRUE(IsVisible(window_));
    EXPECT_FALSE(IsMinimized(window_));
    PostMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsMinimized(window_); }));
    EXPECT_TRUE(BringToForeground(window_));
    EXPECT_FALSE(IsMinimized(window_));
    EXPECT_EQ(GetForegroundWindow(), window_);
}

TEST_F(ListHost, StopEndsTheHelperItself) {
    Process& process = host_.Proc();
    EXPECT_TRUE(host_.Stop());
    EXPECT_EQ(process.ExitCode(), 0u) << "killed rather than stopped";
}

TEST(HelperStart, FailsWithTheCodeOfAHelperThatExitsBeforeItIsReady) {
    Helper early;
    bool started = true;
    EXPECT_NONFATAL_FAILURE(started = early.Start(HelperExe(L"listview_host"), L"--exit-before-ready 7"),
                            "exited with code 7");
    EXPECT_FALSE(started);
}

TEST(TempFolder, RemovesHiddenReadOnlyFilesAndFolders) {
    std::wstring path;
    {
        TempFolder folder;
        path = folder.Path();
        ASSERT_TRUE(CreateDirectoryW(folder.File(L"子目录").c_str(), nullptr));
        const std::wstring file = folder.File(L"子目录\\隐藏.txt");
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        const DWORD hiddenSystemReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
        ASSERT_TRUE(SetFileAttributesW(file.c_str(), hiddenSystemReadOnly));
        ASSERT_TRUE(SetFileAttributesW(folder.File(L"子目录").c_str(), hiddenSystemReadOnly));
    }
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Arguments go to other programs through one command line; each must come back whole.
TEST(QuoteArg, RoundTripsThroughCommandLineToArgv) {
    const std::vector<std::wstring> args = {L"plain",       L"with space",     L"",          L"quote\"inside",
                                            L"trailing\\",  L"C:\\dir with\\", L"\\\\\"x\\", L"中文 路径"};
    std::wstring line = L"prog.exe";
    for (const std::wstring& arg : args) {
        line += L" " + QuoteArg(arg);
    }
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &argc);
    ASSERT_NE(argv, nullptr);
    std::vector<std::wstring> back(argv + 1, argv + argc);
    LocalFree(argv);
    EXPECT_EQ(back, args);
}

TEST(WindowsPath, MapsBuildPathsOntoDriveZ) {
    EXPECT_EQ(WindowsPath("/work/build/x.exe"), L"Z:\\work\\build\\x.exe");
    EXPECT_EQ(WindowsPath("C:/already/windows"), L"C:\\already\\windows");
    EXPECT_EQ(WindowsPath("/tmp/中文"), L"Z:\\tmp\\中文");
}

} // namespace
