// Pictures of Tarnwick for docs/screenshots. Each case brings the program into one state and
// saves it as <name>.bmp into $TW_SHOTS_DIR; scripts/screenshots.sh (make screenshots) turns
// them into PNGs. Add a case per picture the documentation needs.
#include "E2e.h"
#include "StandInShell.h"
#include "RemoteTree.h"
#include "Tabs.h"
#include "TargetWindows.h"

#include "app/ControlIds.h"
#include "files/PickerIds.h"

#include <gtest/gtest.h>

namespace {

using namespace tw::e2e;

// $TW_SHOTS_DPI (say 144): the DPI every program started in this run sees; the pictures
// are named NAME-144dpi. Unset: the system's own, and plain names.
DWORD ShotDpi() {
    wchar_t value[16]{};
    const DWORD n = GetEnvironmentVariableW(L"TW_SHOTS_DPI", value, 16);
    return n > 0 && n < 16 ? wcstoul(value, nullptr, 10) : 0;
}

std::wstring ShotPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH]{};
    const DWORD n = GetEnvironmentVariableW(L"TW_SHOTS_DIR", dir, MAX_PATH);
    const std::wstring folder = n > 0 && n < MAX_PATH ? WindowsPath(WideToUtf8(dir)) : std::wstring(L".");
    const DWORD dpi = ShotDpi();
    return folder + L"\\" + name + (dpi ? L"-" + std::to_wstring(dpi) + L"dpi" : std::wstring()) + L".bmp";
}

// Wine takes the DPI from this value when a program starts; it is removed again at the end
// so that the prefix's later programs are at 96 DPI.
class DpiForTheRun : public ::testing::Environment {
public:
    void SetUp() override {
        if (const DWORD dpi = ShotDpi())
            RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
    }
    void TearDown() override {
        if (ShotDpi())
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels");
    }

private:
    static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
};
const auto* const kDpiForTheRun = ::testing::AddGlobalTestEnvironment(new DpiForTheRun);

// Saves a picture of the window (ShotPath) once the program has finished drawing it: its
// queue has been worked through once (WM_NULL comes back), the whole window is repainted
// now, and X has shown the result.
bool Shoot(HWND window, const wchar_t* name) {
    SendTimed(window, WM_NULL);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendTimed(window, WM_NULL);
    PumpFor(Ms(300));
    return SaveWindowBitmap(window, ShotPath(name));
}

bool StartInFront(App& app) { return app.Start() && BringToForeground(app.MainWindow()); }

TEST(Screenshots, MainWindow) {
    App app;
    ASSERT_TRUE(StartInFront(app));
    EXPECT_TRUE(Shoot(app.MainWindow(), L"main-window"));
    EXPECT_TRUE(app.Close());
}

// The Tray page over a stand-in shell whose toolbar holds a few icons, one of them ticked.
TEST(Screenshots, TrayPage) {
    StandInShell shell;
    ASSERT_TRUE(shell.Start());
    for (const auto& [id, text] : {std::pair{1, L"QQ: 在线"}, {2, L"音量 - 扬声器: 75%"}, {3, L"网络访问: Internet"},
                                   {4, L"安全删除硬件并弹出媒体"}, {5, L"Dropbox 已是最新"}}) {
        ASSERT_TRUE(shell.Add(id, text));
    }
    App app;
    ASSERT_TRUE(StartInFront(app));
    ASSERT_TRUE(ClickTab(ControlById(app.MainWindow(), tw::ids::PageControl1), 1));
    RemoteListView rows(ControlById(app.MainWindow(), tw::ids::lstTrayIcons));
    ASSERT_TRUE(WaitUntil([&] { return rows.RowCount() == 5; }));
    const std::optional<POINT> box = rows.CheckBoxPoint(1);
    ASSERT_TRUE(box && Click(*box));
    ASSERT_TRUE(shell.WaitHidden(2, true));
    EXPECT_TRUE(Shoot(app.MainWindow(), L"tray-page"));
    EXPECT_TRUE(app.Close());
}

// The Tray page where the system lets no notification area be read (Wine's own bare taskbar).
TEST(Screenshots, TrayPageUnreadable) {
    App app;
    ASSERT_TRUE(StartInFront(app));
    ASSERT_TRUE(ClickTab(ControlById(app.MainWindow(), tw::ids::PageControl1), 1));
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(ControlById(app.MainWindow(), tw::ids::lblTrayUnreadable)); }));
    EXPECT_TRUE(Shoot(app.MainWindow(), L"tray-page-unreadable"));
    EXPECT_TRUE(app.Close());
}

// The top panel with both shell boxes ticked: their captions now offer to show again.
TEST(Screenshots, ShellBoxesTicked) {
    StandInShell shell;
    ASSERT_TRUE(shell.Start());
    App app;
    ASSERT_TRUE(StartInFront(app));
    HWND desktopBox = ControlById(app.MainWindow(), tw::ids::CheckBox1);
    HWND taskbarBox = ControlById(app.MainWindow(), tw::ids::CheckBox2);
    ASSERT_TRUE(ClickWindow(desktopBox));
    ASSERT_TRUE(ClickWindow(taskbarBox));
    ASSERT_TRUE(WaitUntil([&] { return Text(desktopBox) == L"显示桌面图标" && Text(taskbarBox) == L"显示任务栏"; }));
    EXPECT_TRUE(Shoot(app.MainWindow(), L"shell-boxes-ticked"));
    EXPECT_TRUE(app.Close());
}

// Moves the pointer off the program and waits for its hover hint to go, so that no tip
// window lies over the picture.
void PointerAway(const App& app) {
    MoveMouse(POINT{4, GetSystemMetrics(SM_CYSCREEN) - 4});
    WaitUntil([&] { return app.Windows(L"tooltips_class32").empty(); });
}

// The Windows page with other programs' windows listed by title, two ticked and hidden.
TEST(Screenshots, WindowsPage) {
    TargetWindows targets;
    ASSERT_TRUE(targets.Start(HelperExe(L"target_windows")));
    for (const wchar_t* title : {L"记事本 - 周报.txt", L"微信", L"画图", L"计算器", L"Microsoft Word - 年度总结.docx",
                                 L"下载 - 文件资源管理器", L"QQ音乐", L"Google Chrome"}) {
        ASSERT_TRUE(targets.Create(title));
    }
    ASSERT_TRUE(TargetWindows::SettleZOrder());
    App app;
    ASSERT_TRUE(StartInFront(app));
    RemoteListView rows(ControlById(app.MainWindow(), tw::ids::lstWindowName));
    for (const wchar_t* title : {L"微信", L"QQ音乐"}) {
        const int row = rows.FindRow(title, 2);
        const std::optional<POINT> box = row < 0 ? std::nullopt : rows.CheckBoxPoint(row);
        ASSERT_TRUE(box && Click(*box));
        ASSERT_TRUE(WaitUntil([&] { return rows.Checked(row); }));
    }
    ASSERT_TRUE(ClickWindow(ControlById(app.MainWindow(), tw::ids::BtnHideWindows)));
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(FindWindowW(L"TwTarget", L"微信")); }));
    // A click on the empty part of the list takes the focus frame off the button.
    const RECT list = ScreenRect(rows.Window());
    ASSERT_TRUE(Click(POINT{(list.left + list.right) / 2, list.bottom - 30}));
    PointerAway(app);
    EXPECT_TRUE(Shoot(app.MainWindow(), L"windows-page"));
    EXPECT_TRUE(app.Close());
}

// Writes the hidden-file list a run would have left in System.ini beside the program.
void SeedFileList(const App& app, const std::vector<std::wstring>& lines) {
    std::string hex;
    for (const std::wstring& line : lines) {
        for (unsigned char c : WideToAnsi(line) + "\r\n") {
            char pair[3];
            snprintf(pair, sizeof pair, "%02X", c);
            hex += pair;
        }
    }
    WritePrivateProfileStringA("system", "File", hex.c_str(), WideToAnsi(app.FileInFolder(L"System.ini")).c_str());
}

// The Files page with the paths a user has hidden, one of them selected.
TEST(Screenshots, FilesPage) {
    App app;
    SeedFileList(app, {L"C:\\users\\Public\\Documents\\工资表.xlsx", L"C:\\users\\Public\\Pictures\\私人照片",
                       L"D:\\游戏\\存档", L"C:\\Program Files\\Tencent\\QQ", L"D:\\工作\\2024 年度总结.docx"});
    ASSERT_TRUE(StartInFront(app));
    ASSERT_TRUE(ClickTab(ControlById(app.MainWindow(), tw::ids::PageControl1), 2));
    HWND list = ControlById(app.MainWindow(), tw::ids::lstFiles);
    const std::optional<POINT> line = ListBoxLinePoint(list, 1);
    ASSERT_TRUE(line && Click(*line));
    PointerAway(app);
    EXPECT_TRUE(Shoot(app.MainWindow(), L"files-page"));
    EXPECT_TRUE(app.Close());
}

// The file picker beside the main window, a folder opened: folders first, a listed (hidden)
// entry ticked, long names shortened at the column's edge.
TEST(Screenshots, FilePicker) {
    // Right below the drive, so that the names have room before the column's edge.
    const std::wstring root = L"C:\\我的文档";
    struct Cleanup {
        std::wstring path;
        ~Cleanup() {
            for (const wchar_t* name : {L"工资表.xlsx", L"日记.txt", L"readme.md", L"一份名字很长很长的会议纪要.docx"}) {
                SetFileAttributesW((path + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((path + L"\\" + name).c_str());
            }
            for (const wchar_t* dir : {L"照片", L"工作文档", L"Projects", L""}) {
                RemoveDirectoryW((path + L"\\" + dir).c_str());
            }
        }
    } cleanup{root};
    CreateDirectoryW(root.c_str(), nullptr);
    for (const wchar_t* dir : {L"照片", L"工作文档", L"Projects"}) {
        CreateDirectoryW((root + L"\\" + dir).c_str(), nullptr);
    }
    for (const wchar_t* file : {L"工资表.xlsx", L"日记.txt", L"readme.md", L"一份名字很长很长的会议纪要.docx"}) {
        CloseHandle(CreateFileW((root + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    }
    const std::wstring hidden = root + L"\\工资表.xlsx";
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    App app;
    SeedFileList(app, {hidden});
    ASSERT_TRUE(StartInFront(app));
    ASSERT_TRUE(ClickTab(ControlById(app.MainWindow(), tw::ids::PageControl1), 2));
    ASSERT_TRUE(ClickWindow(ControlById(app.MainWindow(), tw::ids::BtnRefreshList)));
    HWND picker = app.WaitForWindow(L"TDrawTreeForm", {}, kStartWait);
    ASSERT_TRUE(picker);
    RemoteTree tree(ControlById(picker, tw::ids::VDT1));
    std::wstring shown;
    HTREEITEM folder = ExpandTo(tree, root, shown);
    ASSERT_TRUE(folder);
    ASSERT_TRUE(tree.Select(tree.Find(folder, L"日记.txt")));
    SendTimed(tree.Window(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(tree.Children(folder).back()));
    PointerAway(app);
    // The shell's answers (own icons, overlays, expand buttons) come after the first paint.
    EXPECT_TRUE(WaitUntil([&] {
        LRESULT waiting = 1;
        return SendTimed(picker, tw::ids::PickerRefiningMessage, 0, 0, waiting) && waiting == 0;
    }, kStartWait));
    EXPECT_TRUE(Shoot(picker, L"file-picker"));
    PostMessageW(picker, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(picker) || !IsVisible(picker); }));
    EXPECT_TRUE(app.Close());
}

// The boss-key editor open over a row's "老板键" cell, a combination typed, while another
// row already shows its boss key.
TEST(Screenshots, BossKeyEditor) {
    TargetWindows targets;
    ASSERT_TRUE(targets.Start(HelperExe(L"target_windows")));
    for (const wchar_t* title : {L"记事本 - 周报.txt", L"微信", L"画图", L"计算器"}) {
        ASSERT_TRUE(targets.Create(title));
    }
    ASSERT_TRUE(TargetWindows::SettleZOrder());
    App app;
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_TRUE(BringToForeground(main));
    RemoteListView rows(ControlById(main, tw::ids::lstWindowName));
    HWND editor = nullptr;   // built once the window has painted
    auto typeBossKey = [&](const wchar_t* title, WORD key) {
        const int row = rows.FindRow(title, 2);
        const std::optional<RECT> cell = row < 0 ? std::nullopt : rows.CellRect(row, 1);
        return cell && Click(POINT{cell->left + 10, (cell->top + cell->bottom) / 2}) &&
               WaitUntil([&] { return IsVisible(editor = ControlById(main, tw::ids::edtBossKey)); }) &&
               (PressKey(key, kCtrl), true) &&
               WaitUntil([&] { return Text(editor) == std::wstring(L"Ctrl + ") + static_cast<wchar_t>(key); });
    };
    ASSERT_TRUE(typeBossKey(L"微信", 'W'));
    ASSERT_TRUE(typeBossKey(L"记事本 - 周报.txt", 'Q'));
    PointerAway(app);
    EXPECT_TRUE(Shoot(main, L"boss-key-editor"));
    EXPECT_TRUE(app.Close());
}

// The dialog that makes a rule by title, opened from a row's menu, the row's title in it.
TEST(Screenshots, TitleRuleDialog) {
    TargetWindows targets;
    ASSERT_TRUE(targets.Start(HelperExe(L"target_windows")));
    for (const wchar_t* title : {L"记事本 - 周报.txt", L"哔哩哔哩 (゜-゜)つロ 干杯~ - Google Chrome", L"微信"}) {
        ASSERT_TRUE(targets.Create(title));
    }
    ASSERT_TRUE(TargetWindows::SettleZOrder());
    App app;
    ASSERT_TRUE(StartInFront(app));
    RemoteListView rows(ControlById(app.MainWindow(), tw::ids::lstWindowName));
    const int row = rows.FindRow(L"哔哩哔哩 (゜-゜)つロ 干杯~ - Google Chrome", 2);
    const std::optional<RECT> cell = row < 0 ? std::nullopt : rows.CellRect(row, 2);
    ASSERT_TRUE(cell && app.ChooseFromContextMenu(POINT{cell->left + 20, (cell->top + cell->bottom) / 2}, 3));
    HWND dialog = app.WaitForWindow(L"TFrmTitleRule");
    ASSERT_TRUE(dialog);
    PointerAway(app);
    EXPECT_TRUE(Shoot(dialog, L"title-rule-dialog"));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog) || !IsVisible(dialog); }));
    EXPECT_TRUE(app.Close());
}

// The hot-key settings dialog "帮助" over the main window, as a first start shows it.
TEST(Screenshots, HotKeyDialog) {
    App app;
    ASSERT_TRUE(StartInFront(app));
    ASSERT_TRUE(ClickWindow(ControlById(app.MainWindow(), tw::ids::SpeedButton4)));
    HWND dialog = app.WaitForWindow(L"TFrmHelp", L"帮助");
    ASSERT_TRUE(dialog);
    PointerAway(app);
    EXPECT_TRUE(Shoot(dialog, L"hotkey-dialog"));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog) || !IsVisible(dialog); }));
    EXPECT_TRUE(app.Close());
}

} // namespace
