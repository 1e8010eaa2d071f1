// tw-e2e: CODEPAGES 936 1252 TIMEOUT 240
// The Tray page and the two shell toggles against a stand-in shell (helpers/stand_in_shell):
// a taskbar with a real toolbar whose buttons play the tray icons, and a "Progman" window.
// The user ticks rows to hide icons, refreshes, closes the program, and flips the taskbar and
// desktop-icon boxes; the test looks at the stand-in shell's buttons and windows.
#include "E2e.h"
#include "StandInShell.h"
#include "Tabs.h"
#include "TargetWindows.h"

// Control ids live in a header without <windows.h> precisely so that tests can use them.
#include "app/ControlIds.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace tw::e2e;
namespace ids = tw::ids;

// Every "Shell_SecondaryTrayWnd" on the desktop: the other monitors' taskbars.
std::vector<HWND> SecondaryTaskbars() {
    std::vector<HWND> found;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"Shell_SecondaryTrayWnd", nullptr)) != nullptr;) {
        found.push_back(w);
    }
    return found;
}

struct DesktopWindows {
    HWND view = nullptr;        // "SHELLDLL_DefView": the icons
    HWND wallpaper = nullptr;   // the wallpaper's "WorkerW"
};

// Where the shell keeps its icon view and its wallpaper now.
DesktopWindows FindDesktop(HWND progman) {
    DesktopWindows found;
    found.view = FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
    found.wallpaper = FindWindowExW(progman, nullptr, L"WorkerW", nullptr);
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"WorkerW", nullptr)) != nullptr;) {
        if (HWND view = FindWindowExW(w, nullptr, L"SHELLDLL_DefView", nullptr)) {
            found.view = view;
        } else {
            found.wallpaper = w;
        }
    }
    return found;
}

class TrayPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(shell.Start());
        // Wine's own taskbar is hidden and childless; ours, made later, must be the one
        // FindWindow returns, or the program would read an empty tray.
        ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), shell.taskbar);
    }

    void StartProgram() {
        ASSERT_TRUE(app.Start());
        main = app.MainWindow();
        tabs = ControlById(main, ids::PageControl1);
        list = ControlById(main, ids::lstTrayIcons);
        refresh = ControlById(main, ids::BtnRefreshList);
        ASSERT_TRUE(tabs && list && refresh);
        ASSERT_TRUE(BringToForeground(main));
        ASSERT_TRUE(ClickTab(tabs, 1)) << OpenWindows();
        ASSERT_TRUE(WaitUntil([&] { return IsVisible(list); }));
    }

    // What the program shows, for a failure message: a message box in the way, say.
    std::string OpenWindows() const {
        std::string out = "program windows:";
        for (HWND w : app.Windows()) {
            out += " [" + WideToUtf8(ClassName(w)) + " \"" + WideToUtf8(Text(w)) + "\"]";
        }
        return out;
    }

    RemoteListView Rows() const { return RemoteListView(list); }
    std::vector<std::wstring> Names() const { return Rows().Column(1); }
    std::vector<bool> Ticks() const {
        std::vector<bool> ticks;
        for (int r = 0; r < Rows().RowCount(); ++r) {
            ticks.push_back(Rows().Checked(r));
        }
        return ticks;
    }

    bool ClickCheckBox(int row) {
        const std::optional<POINT> at = Rows().CheckBoxPoint(row);
        return at && Click(*at);
    }
    bool ClickName(int row) {
        const std::optional<RECT> cell = Rows().CellRect(row, 1);
        return cell && Click(POINT{cell->left + 12, (cell->top + cell->bottom) / 2});
    }
    // The row's menu, opened with a right click on its name (the `skip`+1-th row of that
    // name), and its only item picked with the keys.
    bool ChooseFromRowMenu(const std::wstring& name, int skip = 0) {
        const std::vector<std::wstring> names = Names();
        auto at = std::find(names.begin(), names.end(), name);
        for (; skip > 0 && at != names.end(); --skip) {
            at = std::find(at + 1, names.end(), name);
        }
        const std::optional<RECT> cell =
            at == names.end() ? std::nullopt : Rows().CellRect(static_cast<int>(at - names.begin()), 1);
        return cell && app.ChooseFromContextMenu(POINT{cell->left + 12, (cell->top + cell->bottom) / 2}, 1);
    }
    // Icons "one", "two" and "three" (ids 1 to 3) in the tray, the program on its Tray page,
    // and the icon of row `ticked` ticked there and hidden.
    void StartWithThreeIcons(int ticked) {
        ASSERT_TRUE(shell.Add(1, L"one"));
        ASSERT_TRUE(shell.Add(2, L"two"));
        ASSERT_TRUE(shell.Add(3, L"three"));
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        ASSERT_TRUE(WaitUntil([&] { return Names() == std::vector<std::wstring>{L"one", L"two", L"three"}; }));
        ASSERT_TRUE(ClickCheckBox(ticked));
        ASSERT_TRUE(shell.WaitHidden(ticked + 1, true));
    }
    // The refresh button pressed; BM_CLICK comes back once the page is rebuilt.
    bool Refresh() {
        LRESULT ignored = 0;
        return SendTimed(refresh, BM_CLICK, 0, 0, ignored, 15000);
    }

    StandInShell shell;
    App app;
    HWND main = nullptr;
    HWND tabs = nullptr;
    HWND list = nullptr;
    HWND refresh = nullptr;
};

TEST_F(TrayPageTest, ListsTicksAndGivesEveryIconBackOnClose) {
    // Shown exactly under either code page, Hangul and all.
    const std::wstring chinese = L"音量 - 扬声器: 75% 한";
    ASSERT_TRUE(shell.Add(1, L"QQ"));
    ASSERT_TRUE(shell.Add(7, L"A=B"));
    ASSERT_TRUE(shell.Add(-5, chinese));
    ASSERT_TRUE(shell.Add(3, L"hidden by its own program", L"h"));
    ASSERT_TRUE(shell.Add(8, L"first of two"));
    ASSERT_TRUE(shell.Add(8, L"second of two"));
    ASSERT_TRUE(shell.Add(9, L"", L"n"));
    // The hidden-icons flyout numbers its buttons on its own.
    ASSERT_TRUE(shell.Add(7, L"in the flyout", L"o"));
    ASSERT_TRUE(shell.Add(4, L"hidden in the flyout", L"oh"));
    // Ctrl+B hides the window in front.
    const std::wstring settings = app.FileInFolder(L"System.ini");
    ASSERT_TRUE(WritePrivateProfileStringW(L"system", L"HideActiveHelp", L"17", settings.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"system", L"HideActiveWord", L"66", settings.c_str()));
    StartProgram();

    // In toolbar order, the hidden button left out, the shared identifier once; the flyout's after.
    const std::vector<std::wstring> names = {L"QQ", L"A=B", chinese, L"first of two", L"", L"in the flyout"};
    ASSERT_TRUE(WaitUntil([&] { return Names() == names; })) << "rows: " << Names().size();
    EXPECT_EQ(Ticks(), std::vector<bool>(6, false));
    EXPECT_EQ(Rows().Text(0, 0), L"");

    // Ticking hides at once, unticking shows again; the rest stay as they are.
    ASSERT_TRUE(ClickCheckBox(0));
    EXPECT_TRUE(shell.WaitHidden(1, true));
    ASSERT_TRUE(ClickCheckBox(2));
    EXPECT_TRUE(shell.WaitHidden(-5, true));
    ASSERT_TRUE(ClickCheckBox(0));
    EXPECT_TRUE(shell.WaitHidden(1, false));
    EXPECT_FALSE(shell.Hidden(7));
    ASSERT_TRUE(ClickCheckBox(1));
    ASSERT_TRUE(ClickCheckBox(3));
    EXPECT_TRUE(shell.WaitHidden(7, true));
    EXPECT_TRUE(shell.WaitHidden(8, true));
    ASSERT_TRUE(ClickCheckBox(5));
    EXPECT_TRUE(shell.WaitHidden(7, true, shell.overflow));
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true, true, false, true}));

    // The key for the window in front never takes the taskbar, the desktop or the program's
    // own window, and says nothing about it.
    for (HWND front : {shell.taskbar, shell.progman, main}) {
        ASSERT_TRUE(BringToForeground(front));
        PressKey('B', kCtrl);
        EXPECT_TRUE(HoldsFor([&] { return IsVisible(front) && app.Windows(L"#32770").empty(); }, Ms(600)))
            << WideToUtf8(ClassName(front)) << " was hidden, or a message came up";
    }

    // Closing gives back every icon the program hid, and only those.
    ASSERT_TRUE(app.Close());
    for (int id : {1, 7, -5, 8, 9}) {
        EXPECT_FALSE(shell.Hidden(id)) << "button " << id;
    }
    EXPECT_TRUE(shell.Hidden(3));
    EXPECT_FALSE(shell.Hidden(7, shell.overflow));
    EXPECT_TRUE(shell.Hidden(4, shell.overflow));
}

TEST_F(TrayPageTest, ARememberedIconStaysHiddenInThisRunAndTheNextUntilForgotten) {
    // Program A's icon is "QQ"; later the shell's own program shows an icon of that text too.
    TargetWindows programA;
    ASSERT_TRUE(programA.Start(HelperExe(L"target_windows")));
    HWND a = programA.Create(L"", tw::e2e::target::kCreateHidden);
    ASSERT_TRUE(a);
    ASSERT_TRUE(shell.Add(1, L"QQ", {}, a));
    ASSERT_TRUE(shell.Add(2, L"Mail"));
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Names() == std::vector<std::wstring>{L"QQ", L"Mail"}; }));

    // "总是隐藏此图标" hides the icon at once and ticks its row.
    ASSERT_TRUE(ChooseFromRowMenu(L"QQ"));
    EXPECT_TRUE(shell.WaitHidden(1, true)) << "remembering did not hide the icon";
    EXPECT_TRUE(WaitUntil([&] { return Ticks() == std::vector<bool>{true, false}; }));
    // Another program adds an icon: the look once a second sees it and refreshes the page,
    // and that reading does not show the hidden icon, not even for a moment.
    ASSERT_TRUE(shell.Add(3, L"QQ"));
    ASSERT_TRUE(WaitUntil([&] { return Names().size() == 3; }, Ms(4000))) << "the new icon was not listed";
    // Its program restarts: the icon goes and comes back as a new button, and is hidden
    // again within a few seconds, with no refresh asked for. The other program's icon of the
    // same text is not the remembered one.
    ASSERT_TRUE(shell.Delete(1));
    ASSERT_TRUE(shell.Add(5, L"QQ", {}, a));
    EXPECT_TRUE(WaitUntil([&] { return shell.Hidden(5); }, Ms(4000))) << "the icon that came back stayed on show";
    EXPECT_FALSE(shell.Hidden(2));
    EXPECT_FALSE(shell.Hidden(3)) << "another program's icon with the same text was hidden";
    EXPECT_EQ(shell.ShownWhileHidden(), 0) << "an icon the program hid was shown to be read";

    // The close gives it back; the next run hides it again, and only it.
    ASSERT_TRUE(app.Close());
    EXPECT_FALSE(shell.Hidden(5)) << "the close kept the remembered icon hidden";
    StartProgram();
    EXPECT_TRUE(shell.WaitHidden(5, true)) << "the next run did not hide the remembered icon";
    EXPECT_FALSE(shell.Hidden(3));

    // Forgotten: shown at once, and by the run after too.
    ASSERT_TRUE(WaitUntil([&] { return Names() == std::vector<std::wstring>{L"Mail", L"QQ", L"QQ"}; }));
    ASSERT_TRUE(ChooseFromRowMenu(L"QQ", 1));
    EXPECT_TRUE(shell.WaitHidden(5, false)) << "forgetting did not show the icon";
    ASSERT_TRUE(app.Close());
    StartProgram();
    EXPECT_TRUE(HoldsFor([&] { return !shell.Hidden(5); }, Ms(1500))) << "a forgotten icon was hidden again";
    EXPECT_TRUE(app.Close());
    programA.Stop();
}

TEST_F(TrayPageTest, RefreshFollowsTheToolbarAndKeepsTicksTrue) {
    TW_REQUIRE_CODEPAGE(936);
    ASSERT_NO_FATAL_FAILURE(StartWithThreeIcons(2));

    // One icon goes, two come; the ticked survivor is hidden again after the reading.
    ASSERT_TRUE(shell.Delete(2));
    ASSERT_TRUE(shell.Add(4, L"four"));
    ASSERT_TRUE(shell.Add(-6, L"负六"));
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"one", L"three", L"four", L"负六"}));
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false, false}));
    EXPECT_TRUE(shell.Hidden(3));
    EXPECT_FALSE(shell.Hidden(4));

    // A click on the name applies the row's tick again: an icon someone else hid comes back.
    shell.SetHidden(1, true);
    ASSERT_TRUE(ClickName(0));
    EXPECT_TRUE(shell.WaitHidden(1, false));

    // The space bar does what a click on the box does: the icon hides at once, shows again,
    // and the tick is the icon's, so the next refresh keeps it.
    ASSERT_TRUE(ClickName(2));
    PressKey(VK_SPACE);
    EXPECT_TRUE(shell.WaitHidden(4, true)) << "the space bar ticked the row but left the icon";
    PressKey(VK_SPACE);
    EXPECT_TRUE(shell.WaitHidden(4, false));
    PressKey(VK_SPACE);
    EXPECT_TRUE(shell.WaitHidden(4, true));
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true, false}));

    // Without a tray the page is empty and says it cannot read one. Wine's own hidden taskbar
    // is still there, but it has no notification area, which the program treats as no tray.
    ASSERT_TRUE(shell.DestroyTray());
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(Rows().RowCount(), 0);
    EXPECT_TRUE(IsVisible(ControlById(main, ids::lblTrayUnreadable)));
    ASSERT_TRUE(app.Close());
}

TEST_F(TrayPageTest, HungShellDoesNotFreezeTheProgram) {
    TW_REQUIRE_CODEPAGE(936);
    ASSERT_NO_FATAL_FAILURE(StartWithThreeIcons(0));

    const std::wstring wakeName = L"tw-stand-in-shell-wake-" + std::to_wstring(GetCurrentProcessId());
    UniqueHandle wake(CreateEventW(nullptr, TRUE, FALSE, wakeName.c_str()));
    UniqueHandle asked(CreateEventW(nullptr, TRUE, FALSE, (wakeName + L".asked").c_str()));
    ASSERT_TRUE(wake && asked);
    ASSERT_TRUE(shell.Hang(wakeName));

    // Input is handled in order: a click while the refresh waits on the shell is answered
    // once the refresh is over. It is sent once the shell has been asked, so that it comes
    // while the program waits, not before the refresh has begun or after it has ended: under
    // Wine a program that wakes up replays the pointer moves it missed, and one replayed
    // between the box's press and release takes the release off the box.
    HWND taskbarBox = ControlById(main, ids::CheckBox2);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ClickWindow(refresh));
    ASSERT_EQ(WaitForSingleObject(asked.Get(), 10000), WAIT_OBJECT_0) << "the refresh did not ask the shell";
    ASSERT_TRUE(ClickWindow(taskbarBox));
    EXPECT_TRUE(WaitUntil([&] { return Text(taskbarBox) == L"显示任务栏"; }, Ms(20000)))
        << "box: \"" << WideToUtf8(Text(taskbarBox)) << "\", " << DescribeInputState(main)
        << (Answers(main) ? "; the program answers" : "; the program does not answer")
        << "; screen: " << FailureScreenshot();
    const auto took = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(took.count(), 10000) << "the program waited on the hung shell";
    // Nothing is forgotten while the shell cannot say what it holds.
    EXPECT_EQ(Rows().RowCount(), 3);
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, false}));

    // The taskbar box does not wait for the hung shell either.
    ASSERT_EQ(SendTimed(taskbarBox, BM_GETCHECK), BST_CHECKED);
    ASSERT_TRUE(ClickWindow(taskbarBox));
    EXPECT_TRUE(WaitUntil([&] { return Text(taskbarBox) == L"隐藏任务栏"; }));

    SetEvent(wake.Get());
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(shell.taskbar); }));
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"one", L"two", L"three"}));
    EXPECT_TRUE(shell.Hidden(1));

    // A hot key sent while a refresh waits on the shell is dispatched inside that wait too. It
    // must not run there, nor be lost: Alt+X hides the window once the refresh is over.
    const ATOM selfAtom = GlobalFindAtomW(L"MyHotKey_Alt + X");
    ASSERT_NE(selfAtom, 0);
    const auto pressSelf = [&] {
        LRESULT answer = 0;
        return SendTimed(main, WM_HOTKEY, selfAtom - 0xC000, MAKELPARAM(MOD_ALT, 'X'), answer);
    };
    ResetEvent(wake.Get());
    ASSERT_TRUE(shell.Hang(wakeName));
    ResetEvent(asked.Get());
    {
        std::thread refresher([&] { Refresh(); });
        const bool waiting = WaitForSingleObject(asked.Get(), 10000) == WAIT_OBJECT_0;
        const bool pressed = pressSelf();
        const bool shownMeanwhile = IsWindowVisible(main) != FALSE;
        SetEvent(wake.Get());
        refresher.join();
        EXPECT_TRUE(waiting && pressed);
        EXPECT_TRUE(shownMeanwhile) << "the hot key ran inside the refresh";
    }
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); })) << "the hot key was lost";
    ASSERT_TRUE(pressSelf());
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }));

    // A close sent while a refresh waits on the shell is dispatched inside that wait. It must
    // wait for the refresh, not free the list under it; then it gives the icon back.
    ResetEvent(wake.Get());
    ASSERT_TRUE(shell.Hang(wakeName));
    ResetEvent(asked.Get());
    std::thread clicker([&] { Refresh(); });
    // The refresh has begun once the hung shell is asked something.
    const bool refreshing = WaitForSingleObject(asked.Get(), 10000) == WAIT_OBJECT_0;
    LRESULT ignored = 0;
    SendTimed(main, WM_CLOSE, 0, 0, ignored);
    const bool stillThere = IsWindow(main) != FALSE;
    SetEvent(wake.Get());
    clicker.join();
    EXPECT_TRUE(refreshing);
    EXPECT_TRUE(stillThere) << "the close did not wait for the refresh";
    ASSERT_TRUE(app.WaitExit()) << "the close held back during the refresh never came";
    EXPECT_EQ(app.ExitCode(), 0u);
    EXPECT_FALSE(shell.Hidden(1));
}

TEST_F(TrayPageTest, TaskbarAndDesktopBoxesHideAndShowTheShellWindows) {
    TW_REQUIRE_CODEPAGE(936);
    // Two more monitors, each with its taskbar: they go and come back with the main one.
    ASSERT_TRUE(shell.AddSecondaryTaskbar() && shell.AddSecondaryTaskbar());
    const std::vector<HWND> secondary = SecondaryTaskbars();
    ASSERT_EQ(secondary.size(), 2u);
    const auto allTaskbars = [&](bool visible) {
        return IsVisible(shell.taskbar) == visible && IsVisible(secondary[0]) == visible &&
               IsVisible(secondary[1]) == visible;
    };
    ASSERT_TRUE(shell.Add(1, L"mail"));
    ASSERT_TRUE(shell.Add(2, L"chat"));
    StartProgram();
    HWND desktopBox = ControlById(main, ids::CheckBox1);
    HWND taskbarBox = ControlById(main, ids::CheckBox2);
    EXPECT_EQ(Text(desktopBox), L"隐藏桌面图标");
    EXPECT_EQ(Text(taskbarBox), L"隐藏任务栏");

    ASSERT_TRUE(ClickWindow(taskbarBox));
    EXPECT_TRUE(WaitUntil([&] { return allTaskbars(false); }));
    EXPECT_EQ(Text(taskbarBox), L"显示任务栏");
    EXPECT_TRUE(IsVisible(shell.progman));
    // The system shows its taskbars again (the Start menu, a notification) while the box
    // says they are hidden: they go again.
    ASSERT_TRUE(shell.ShowTaskbars());
    EXPECT_TRUE(WaitUntil([&] { return allTaskbars(false); }, Ms(5000))) << "the taskbars stayed on screen";

    ASSERT_TRUE(ClickWindow(desktopBox));
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(shell.progman); }));
    EXPECT_EQ(Text(desktopBox), L"显示桌面图标");
    EXPECT_FALSE(IsVisible(shell.taskbar));

    ASSERT_TRUE(ClickWindow(taskbarBox));
    EXPECT_TRUE(WaitUntil([&] { return allTaskbars(true); }));
    EXPECT_EQ(Text(taskbarBox), L"隐藏任务栏");
    EXPECT_FALSE(IsVisible(shell.progman));
    // Cleared, the box leaves the taskbars to the system (longer than the program's once-a-
    // second look, to see that nothing is watching any more).
    ASSERT_TRUE(shell.ShowTaskbars());
    EXPECT_FALSE(WaitUntil([&] { return !allTaskbars(true); }, Ms(3000))) << "a taskbar went after the box was cleared";

    ASSERT_TRUE(ClickWindow(taskbarBox));
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(shell.taskbar); }));

    // The shell restarts: its new taskbar, desktop and icons show. Programs add their icons
    // again under new numbers when the new shell announces itself; what the boxes and ticks
    // say is hidden is hidden again, the ticked icon found by its text.
    ASSERT_TRUE(WaitUntil([&] { return Rows().RowCount() == 2; }));
    ASSERT_TRUE(ClickCheckBox(1));
    ASSERT_TRUE(shell.WaitHidden(2, true));
    ASSERT_TRUE(shell.Restart());
    ASSERT_TRUE(IsVisible(shell.taskbar) && IsVisible(shell.progman));
    ASSERT_TRUE(shell.Add(11, L"chat"));
    ASSERT_TRUE(shell.Add(12, L"mail"));
    ASSERT_TRUE(shell.Announce());
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(shell.taskbar) && !IsVisible(shell.progman); }));
    // The watch follows the new shell.
    ASSERT_TRUE(shell.ShowTaskbars());
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(shell.taskbar); }, Ms(5000)));
    EXPECT_TRUE(shell.WaitHidden(11, true));
    EXPECT_TRUE(WaitUntil([&] { return Names() == std::vector<std::wstring>{L"chat", L"mail"}; }));
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false}));
    EXPECT_FALSE(shell.Hidden(12));

    // Closing leaves the taskbar and the desktop icons as the boxes left them, although the
    // desktop window has a title and is listed on the Windows page: the close gives back
    // only windows the program hid there, and the icons it hid.
    ASSERT_TRUE(app.Close());
    EXPECT_FALSE(shell.Hidden(11));
    EXPECT_FALSE(IsVisible(shell.taskbar));
    EXPECT_FALSE(IsVisible(shell.progman));

    // Today's shells keep the icons in a view of their own, which goes alone, never the
    // wallpaper: a split Windows 10 desktop has the view in a top-level "WorkerW" and the
    // wallpaper in another; Windows 11 24H2 has both inside "Progman". The shell moves the
    // view between clicks; it is found wherever it is.
    ASSERT_TRUE(shell.Restart());
    StartProgram();
    desktopBox = ControlById(main, ids::CheckBox1);
    for (const wchar_t* layout : {L"10", L"24H2"}) {
        SCOPED_TRACE(WideToUtf8(layout));
        ASSERT_TRUE(shell.DesktopLayout(layout));
        const DesktopWindows desktop = FindDesktop(shell.progman);
        ASSERT_TRUE(desktop.view && desktop.wallpaper && IsVisible(desktop.view));
        ASSERT_TRUE(ClickWindow(desktopBox));
        EXPECT_TRUE(WaitUntil([&] { return !IsVisible(desktop.view); }));
        EXPECT_TRUE(IsVisible(desktop.wallpaper)) << "the wallpaper went with the icons";
        EXPECT_TRUE(IsVisible(shell.progman));
        ASSERT_TRUE(ClickWindow(desktopBox));
        EXPECT_TRUE(WaitUntil([&] { return IsVisible(desktop.view); }));
    }
    EXPECT_TRUE(app.Close());
}

// The Windows 11 shell keeps its icons as keys of the user's notification-icon settings, and
// Wine reports 10.0.22000 when the registry says so. The test bed's prefix is shared by every
// test, so the version is put back afterwards, and a run that died half-way is made good by
// the next one from the copy it left.
class Windows11Test : public TrayPageTest {
protected:
    static constexpr const wchar_t* kVersionKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
    static constexpr const wchar_t* kSettingsKey = L"Control Panel\\NotifyIconSettings";
    // Wine 8 takes the build number from CurrentBuildNumber; Windows keeps both values.
    static constexpr std::pair<const wchar_t*, const wchar_t*> kVersion[] = {
        {L"CurrentVersion", L"10.0"}, {L"CurrentBuild", L"22000"}, {L"CurrentBuildNumber", L"22000"}};

    void SetUp() override {
        TrayPageTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // An empty copy stands for a value that was not there.
        for (auto [name, value] : kVersion) {
            const std::wstring saved = std::wstring(L"tw-saved ") + name;
            if (!ReadString(HKEY_LOCAL_MACHINE, kVersionKey, saved.c_str())) {
                const std::optional<std::wstring> old = ReadString(HKEY_LOCAL_MACHINE, kVersionKey, name);
                ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kVersionKey, saved.c_str(), old.value_or(L"")));
            }
            ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kVersionKey, name, value));
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    }
    void TearDown() override {
        for (auto [name, value] : kVersion) {
            const std::wstring saved = std::wstring(L"tw-saved ") + name;
            if (const std::optional<std::wstring> old = ReadString(HKEY_LOCAL_MACHINE, kVersionKey, saved.c_str())) {
                const bool back = old->empty() ? RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVersionKey, name) == ERROR_SUCCESS
                                               : WriteString(HKEY_LOCAL_MACHINE, kVersionKey, name, *old);
                if (back) {
                    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVersionKey, saved.c_str());
                }
            }
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    }

    static std::optional<std::wstring> ReadString(HKEY root, const wchar_t* path, const wchar_t* name) {
        wchar_t value[256]{};
        DWORD size = sizeof value;
        if (RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::wstring(value);
    }
    static bool WriteString(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& value) {
        return RegSetKeyValueW(root, path, name, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    static void AddIcon(const std::wstring& key, const wchar_t* tip, const wchar_t* exe, std::optional<DWORD> promoted) {
        const std::wstring path = std::wstring(kSettingsKey) + L"\\" + key;
        if (tip) {
            ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, path.c_str(), L"InitialTooltip", tip));
        }
        ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, path.c_str(), L"ExecutablePath", exe));
        if (promoted) {
            ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), L"IsPromoted", REG_DWORD, &*promoted, sizeof(DWORD)),
                      ERROR_SUCCESS);
        }
    }
    static std::optional<DWORD> Promoted(const std::wstring& key) {
        const std::wstring path = std::wstring(kSettingsKey) + L"\\" + key;
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), L"IsPromoted", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        return value;
    }
};

TEST_F(Windows11Test, TheIconSettingsAreListedAndPutBackOnClose) {
    TW_REQUIRE_CODEPAGE(936);
    // The shell of Windows 11 has no toolbar: Wine's own bare taskbar stands for it.
    ASSERT_TRUE(shell.DestroyTray());
    // Hangul is outside code page 936: the name must come through the wide call.
    AddIcon(L"1001", L"Mail 메일", L"C:\\Apps\\mail.exe", 1);
    AddIcon(L"1002", nullptr, L"C:\\Apps\\chat.exe", std::nullopt);
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return Names() == std::vector<std::wstring>{L"Mail 메일", L"chat.exe"}; }))
        << "rows: " << Rows().RowCount();

    // A tick moves the icon into the flyout; clearing it puts back the value it had.
    ASSERT_TRUE(ClickCheckBox(0));
    ASSERT_TRUE(ClickCheckBox(1));
    EXPECT_TRUE(WaitUntil([&] { return Promoted(L"1001") == 0u && Promoted(L"1002") == 0u; }));
    ASSERT_TRUE(ClickCheckBox(0));
    EXPECT_TRUE(WaitUntil([&] { return Promoted(L"1001") == 1u; }));

    // The close puts back that the other had no value at all.
    ASSERT_TRUE(app.Close());
    EXPECT_EQ(Promoted(L"1002"), std::nullopt);
}

} // namespace
