// tw-e2e: TIMEOUT 400
// Hot keys as the user meets them, pressed with real input from outside the program: the tool
// window shown and hidden with Alt+X, ticked windows hidden and restored with Alt+H and
// Alt+R, boss keys typed into the "老板键" cell that toggle their window from anywhere, and the
// settings dialog "帮助", whose changes are in "System.ini" at once and take effect when it
// closes, and whose start-with-Windows box writes the Run value a start out of sight needs.
#include "WindowsTable.h"

#include "app/ControlIds.h"
#include "hotkeys/Unit2Ids.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace {

using namespace tw::e2e;
namespace ids = tw::ids;

constexpr wchar_t kInUse[] = L"当前快捷键已使用！";
constexpr wchar_t kDialogClass[] = L"TFrmHelp";
constexpr wchar_t kMessageBoxClass[] = L"#32770";
// How long "nothing happens" is watched for, after a key that must do nothing.
constexpr Ms kQuiet{600};

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Tarnwick";

std::optional<std::wstring> RunValue()
{
    wchar_t data[1024]{};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

bool SetRunValue(const std::wstring& command)
{
    return RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, command.c_str(),
                           static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Wine starts what the Run list names whenever the test prefix starts: a value left behind
// would start a stray copy of the program beside every later test.
struct NoRunValueLeft {
    NoRunValueLeft() { Delete(); }
    ~NoRunValueLeft() { Delete(); }
    static void Delete() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue); }
};

// Input goes through the X server, Wine's server and the program; on a machine busy with
// builds that can take seconds, so waits for what a key does are generous (they end as soon
// as it has happened).
constexpr Ms kInputWait{15000};
template <class Pred>
bool Eventually(Pred&& pred)
{
    return WaitUntil(std::forward<Pred>(pred), kInputWait);
}

class HotKeys : public WindowsTableTest {
protected:
    std::wstring BossKeyCell(std::wstring_view title) const { return Rows().Text(RowOf(title), 1); }
    std::wstring Settings() const { return app.FileInFolder(L"System.ini"); }
    UINT Stored(const wchar_t* key) const { return GetPrivateProfileIntW(L"system", key, 999, Settings().c_str()); }
    bool Tick(std::wstring_view title) const { return TickWithMouse(title, kInputWait); }

    // Opens the boss-key editor over the row's "老板键" cell; true once it has the focus.
    bool OpenEditor(std::wstring_view title) const
    {
        return BringToForeground(main) && ClickRowAt(RowOf(title), 40 + 10) && Eventually([&] {
                   HWND editor = Control(ids::edtBossKey);
                   return IsVisible(editor) && FocusOf(main) == editor;
               });
    }
    // Leaves the editor the way a user does, with a click elsewhere in the table.
    bool CloseEditor(std::wstring_view elsewhere) const
    {
        return ClickCaption(RowOf(elsewhere)) && Eventually([&] { return !IsVisible(Control(ids::edtBossKey)); });
    }
    bool GiveBossKey(std::wstring_view title, WORD key, Modifiers modifier, std::wstring_view elsewhere) const
    {
        if (!OpenEditor(title))
            return false;
        PressKey(key, modifier);
        return Eventually([&] { return !Text(Control(ids::edtBossKey)).empty() &&
                                      Text(Control(ids::edtBossKey)).back() == static_cast<wchar_t>(key); }) &&
               CloseEditor(elsewhere);
    }

    // Waits for the program's message box, checks its text and dismisses it with OK.
    void ExpectMessage(const wchar_t* text)
    {
        HWND box = app.WaitForWindow(kMessageBoxClass, {}, Ms(15000));
        ASSERT_TRUE(box) << "no message box came up";
        EXPECT_EQ(MessageText(box), text);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(Eventually([&] { return !IsWindow(box); }));
    }
    bool NoMessageBox() const { return app.Windows(kMessageBoxClass).empty(); }

    // "设置" clicked: the dialog, once it is up.
    HWND OpenSettings()
    {
        if (!BringToForeground(main) || !ClickWindow(Control(ids::SpeedButton4)))
            return nullptr;
        return app.WaitForWindow(kDialogClass, L"帮助", Ms(15000));
    }
    bool CloseSettings(HWND dialog)
    {
        return ClickWindow(ControlById(dialog, ids::Button1)) &&
               Eventually([&] { return !IsWindow(dialog) || !IsVisible(dialog); });
    }
};

TEST_F(HotKeys, DefaultHotKeysAndBossKeysActFromAnywhere)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND notes = targets.Create(L"Notes");
    HWND paint = targets.Create(L"Paint");
    HWND mail = targets.Create(L"Mail");
    HWND chat = targets.Create(L"Chat");
    ASSERT_TRUE(notes && paint && mail && chat);
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    // No settings file: Alt+X, Alt+H and Alt+R, and the label says so.
    EXPECT_EQ(Text(Control(ids::Label2)), L"Alt + X :显示/还原自己");
    PressKey('X', kAlt);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(main); })) << "Alt+X did not hide the tool window";
    PressKey('X', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(main); })) << "Alt+X did not show the tool window again";

    ASSERT_TRUE(BringToForeground(main));
    ASSERT_TRUE(Tick(L"Notes"));
    ASSERT_TRUE(Tick(L"Paint"));
    // Stacked Notes over Paint over Chat, the list's order being another: Alt+R gives them
    // back stacked as they were, Notes in front and active.
    ASSERT_TRUE(Tick(L"Chat"));
    for (HWND w : {chat, paint, notes})
        ASSERT_TRUE(BringToForeground(w));
    PressKey('H', kAlt);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(notes) && !IsVisible(paint) && !IsVisible(chat); }))
        << "Alt+H hid nothing";
    EXPECT_TRUE(IsVisible(mail)) << "Alt+H hid an unticked window";
    PressKey('R', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(notes) && IsVisible(paint) && IsVisible(chat); }))
        << "Alt+R restored nothing";
    auto depth = [](HWND w) {
        int n = 0;
        for (HWND h = GetTopWindow(nullptr); h && h != w; h = GetWindow(h, GW_HWNDNEXT))
            ++n;
        return n;
    };
    EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == notes; })) << "the front one is not active";
    // The windows' own threads carry the placing out, each when it gets to it.
    EXPECT_TRUE(Eventually([&] { return depth(notes) < depth(paint) && depth(paint) < depth(chat); }))
        << depth(notes) << " " << depth(paint) << " " << depth(chat);
    ASSERT_TRUE(BringToForeground(main));

    // A boss key typed into the "老板键" cell: the cell shows it, and it toggles its window,
    // also while the tool window is hidden.
    ASSERT_TRUE(OpenEditor(L"Mail"));
    HWND editor = Control(ids::edtBossKey);
    EXPECT_EQ(Text(editor), L"");
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return Text(editor) == L"Ctrl + Q"; })) << "the editor shows " << Text(editor);
    ASSERT_TRUE(CloseEditor(L"Chat"));
    EXPECT_EQ(BossKeyCell(L"Mail"), L"Ctrl + Q");
    EXPECT_TRUE(NoMessageBox()) << "Ctrl held in the editor beeped or complained";
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(mail); })) << "the boss key did not hide its window";
    EXPECT_TRUE(IsVisible(notes) && IsVisible(chat));
    PressKey('X', kAlt);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(main); }));
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return IsVisible(mail); })) << "the boss key did nothing while the tool window was hidden";
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(mail); }));
    PressKey('X', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(main); }));

    // The same boss key typed for a second window (the system hands it over as a hot key):
    // one press toggles both, each by its own state.
    ASSERT_TRUE(GiveBossKey(L"Chat", 'Q', kCtrl, L"Notes"));
    EXPECT_EQ(BossKeyCell(L"Chat"), L"Ctrl + Q");
    auto pair = [&] {
        return "mail " + std::to_string(IsVisible(mail)) + (IsMinimized(mail) ? " minimised" : "") + ", chat " +
               std::to_string(IsVisible(chat)) + (IsMinimized(chat) ? " minimised" : "") + ", message boxes " +
               std::to_string(app.Windows(kMessageBoxClass).size()) + ", editor " +
               std::to_string(IsVisible(editor)) + ", " + DescribeInputState(main);
    };
    for (int press = 1; press <= 5; ++press) {
        const bool mailShown = press % 2 == 1;
        PressKey('Q', kCtrl);
        ASSERT_TRUE(Eventually([&] { return IsVisible(mail) == mailShown && IsVisible(chat) != mailShown; }))
            << "press " << press << " of the shared boss key did not swap them: " << pair();
    }

    // While the editor is open a program hot key is only reported as taken: Alt+X leaves the
    // tool window alone, Alt+H the ticked windows. The editor stays for typing on.
    ASSERT_TRUE(OpenEditor(L"Paint")) << "message boxes open: " << app.Windows(kMessageBoxClass).size();
    auto editorHasFocus = [&] { return IsVisible(editor) && FocusOf(main) == editor; };
    PressKey('X', kAlt);
    ASSERT_NO_FATAL_FAILURE(ExpectMessage(kInUse));
    EXPECT_TRUE(IsVisible(main));
    ASSERT_TRUE(Eventually(editorHasFocus)) << "the editor did not get the focus back after the message";
    PressKey('H', kAlt);
    ASSERT_NO_FATAL_FAILURE(ExpectMessage(kInUse));
    EXPECT_TRUE(IsVisible(notes) && IsVisible(paint)) << "Alt+H acted while the editor was open";
    EXPECT_TRUE(IsVisible(mail) && !IsVisible(chat));
    ASSERT_TRUE(Eventually(editorHasFocus));
    ASSERT_TRUE(CloseEditor(L"Notes"));
    EXPECT_EQ(BossKeyCell(L"Paint"), L"") << "no combination was completed, yet the cell shows one";

    // Backspace clears Chat's boss key; Mail keeps the same combination and it still works.
    ASSERT_TRUE(OpenEditor(L"Chat"));
    PressKey(VK_BACK);
    ASSERT_TRUE(Eventually([&] { return Text(editor).empty(); }));
    ASSERT_TRUE(CloseEditor(L"Notes"));
    EXPECT_EQ(BossKeyCell(L"Chat"), L"");
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(mail); })) << "clearing one window's boss key silenced the other's";
    EXPECT_TRUE(HoldsFor([&] { return !IsVisible(chat); }, kQuiet)) << "a cleared boss key still toggles";
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return IsVisible(mail); }));

    // Refilling the page while the editor is open over a window that has meanwhile closed:
    // the editor goes, the row goes, the program lives on, and the hot keys act again.
    ASSERT_TRUE(OpenEditor(L"Notes"));
    ASSERT_TRUE(TargetWindows::Destroy(notes));
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::BtnRefreshList, BN_CLICKED), reinterpret_cast<LPARAM>(Control(ids::BtnRefreshList)));
    ASSERT_TRUE(Eventually([&] { return RowOf(L"Notes") < 0; })) << "the refill did not happen";
    EXPECT_FALSE(IsVisible(editor)) << "the editor outlived the rows it was opened on";
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(mail); })) << "hot keys stay off after the refill";
    EXPECT_TRUE(NoMessageBox());
    EXPECT_EQ(BossKeyCell(L"Mail"), L"Ctrl + Q");
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return IsVisible(mail); }));
    EXPECT_TRUE(app.Running());

    // Closing releases the atom references the program added (global atoms outlive the
    // process that made them). Only this test uses Ctrl+Q; other tests' programs that were
    // ended by force may have left the common Alt+X behind.
    EXPECT_NE(GlobalFindAtomW(L"MyHotKey_Ctrl + Q"), 0);
    ASSERT_TRUE(app.Close());
    EXPECT_EQ(GlobalFindAtomW(L"MyHotKey_Ctrl + Q"), 0) << "an atom reference was left behind";
}

TEST_F(HotKeys, SettingsDialogWritesAtOnceAndTakesEffectWhenClosed)
{
    ASSERT_NO_FATAL_FAILURE(StartTargets());
    HWND notes = targets.Create(L"Notes");
    ASSERT_TRUE(notes);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(Tick(L"Notes"));

    ASSERT_TRUE(ClickWindow(Control(ids::SpeedButton4)));
    HWND dialog = app.WaitForWindow(kDialogClass, L"帮助", Ms(15000));
    ASSERT_TRUE(dialog) << "\"设置\" did not open the dialog";
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 267);
    EXPECT_EQ(client.bottom, 297);   // 173 as designed, a row for a fourth key, a group for the triggers
    EXPECT_FALSE(IsEnabled(main)) << "the dialog is not modal";
    EXPECT_EQ(Text(ControlById(dialog, ids::Label4)),
              L"进入隐藏文件方法：                             点击“开始”—“运行”—输入文件路径，按回车即可 ");
    HWND hideSelf = ControlById(dialog, ids::edtHideSelf);
    HWND hide = ControlById(dialog, ids::edtHide);
    HWND show = ControlById(dialog, ids::edtShow);
    EXPECT_EQ(Text(hideSelf), L"Alt + X");
    EXPECT_EQ(Text(hide), L"Alt + H");
    EXPECT_EQ(Text(show), L"Alt + R");
    HWND hideFront = ControlById(dialog, ids::edtHideActive);
    HWND corner = ControlById(dialog, ids::cboHotCorner);
    HWND idle = ControlById(dialog, ids::edtIdleMinutes);
    EXPECT_EQ(Text(hideFront), L"") << "the key for the window in front has a default";
    EXPECT_EQ(SendMessageW(corner, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Text(idle), L"0");
    EXPECT_TRUE(Eventually([&] { return FocusOf(dialog) == hideSelf; })) << "the first edit does not start with the focus";

    // Ctrl+Q in the second edit is written at once, modifier and key.
    ASSERT_TRUE(ClickWindow(hide));
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return Text(hide) == L"Ctrl + Q"; })) << Text(hide);
    EXPECT_EQ(Stored(L"HideHelp"), 17u);
    EXPECT_EQ(Stored(L"HideWord"), 81u);

    // A registered combination pressed in an edit is reported as taken, and does nothing else:
    // held down, its repeats (Wine sends them although the program asks for none) arrive
    // while the message has the focus, and are dropped there too. One message, no action.
    PressKey('X', kAlt, 6);
    ASSERT_NO_FATAL_FAILURE(ExpectMessage(kInUse));
    EXPECT_TRUE(HoldsFor([&] { return NoMessageBox() && IsVisible(main); }, kQuiet))
        << "the held Alt+X acted on the tool window, or was reported again";
    EXPECT_EQ(Stored(L"HideAllWord"), 999u) << "a rejected combination was written";
    ASSERT_TRUE(Eventually([&] { return FocusOf(dialog) == hide; }));
    // Pressed again, it is a new press: reported again.
    PressKey('X', kAlt);
    ASSERT_NO_FATAL_FAILURE(ExpectMessage(kInUse));
    EXPECT_TRUE(IsVisible(main));

    // Alt alone writes nothing; Backspace in the first edit writes 0 and 0.
    ASSERT_TRUE(ClickWindow(show));
    PressKey(VK_MENU);
    ASSERT_TRUE(Eventually([&] { return Text(show) == L"Alt + "; }));
    EXPECT_EQ(Stored(L"ShowHelp"), 999u);
    ASSERT_TRUE(ClickWindow(hideSelf));
    PressKey(VK_BACK);
    ASSERT_TRUE(Eventually([&] { return Text(hideSelf).empty(); }));
    EXPECT_EQ(Stored(L"HideAllHelp"), 0u);
    EXPECT_EQ(Stored(L"HideAllWord"), 0u);
    // Alt+O types a hot key; it does not press "确定(&O)".
    ASSERT_TRUE(ClickWindow(show));
    PressKey('O', kAlt);
    ASSERT_TRUE(Eventually([&] { return Text(show) == L"Alt + O"; }));
    EXPECT_TRUE(IsWindow(dialog) && IsVisible(dialog)) << "Alt+O closed the dialog";
    EXPECT_EQ(Stored(L"ShowWord"), static_cast<UINT>('O'));

    // Ctrl+B for the window in front, the bottom right corner (the last choice, by the
    // keyboard) and one idle minute: each written at once.
    ASSERT_TRUE(ClickWindow(hideFront));
    PressKey('B', kCtrl);
    ASSERT_TRUE(Eventually([&] { return Stored(L"HideActiveWord") == 66u; })) << Text(hideFront);
    EXPECT_EQ(Stored(L"HideActiveHelp"), 17u);
    ASSERT_TRUE(ClickWindow(corner));
    ASSERT_TRUE(ClickWindow(corner));
    PressKey(VK_END);
    ASSERT_TRUE(Eventually([&] { return Stored(L"HotCorner") == 4u; }));
    ASSERT_TRUE(ClickWindow(idle));
    PressKey(VK_END);
    PressKey(VK_BACK);
    PressKey('1');
    ASSERT_TRUE(Eventually([&] { return Stored(L"IdleMinutes") == 1u; })) << Text(idle);

    // Closed with the title bar's close box: everything written stays, and takes effect now.
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(dialog) || !IsVisible(dialog); }));
    ASSERT_TRUE(Eventually([&] { return Text(Control(ids::Label2)) == L"无快捷键来显示/还原自己"; }))
        << Text(Control(ids::Label2));
    EXPECT_TRUE(IsEnabled(main));
    PressKey('H', kAlt);
    EXPECT_TRUE(HoldsFor([&] { return IsVisible(notes); }, kQuiet)) << "Alt+H still hides after the change";
    PressKey('X', kAlt);
    EXPECT_TRUE(HoldsFor([&] { return IsVisible(main); }, kQuiet)) << "the cleared Alt+X still acts";
    PressKey('Q', kCtrl);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(notes); })) << "Ctrl+Q does not hide the ticked window";
    PressKey('O', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(notes); })) << "Alt+O does not restore it";

    // Ctrl+B hides the window in front, unticked and unlisted as it was, as Alt+H would: it
    // is listed ticked and recorded, and Alt+O gives it back. Our own window never goes.
    HWND paint = targets.Create(L"Paint");
    ASSERT_TRUE(paint && BringToForeground(paint));
    PressKey('B', kCtrl);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(paint); }))
        << "Ctrl+B did not hide the window in front: foreground " << (GetForegroundWindow() == paint) << ", row "
        << RowOf(L"Paint") << ", atom " << GlobalFindAtomW(L"MyHotKey_Ctrl + B") << ", notes " << IsVisible(notes);
    EXPECT_TRUE(IsVisible(notes));
    EXPECT_TRUE(Eventually([&] { return Checked(L"Paint"); })) << "not listed ticked";
    std::ifstream record(std::filesystem::path(app.FileInFolder(L"Hidden.dat")));
    std::string recorded((std::istreambuf_iterator<char>(record)), std::istreambuf_iterator<char>());
    EXPECT_NE(recorded.find("W " + std::to_string(reinterpret_cast<UINT_PTR>(paint)) + " "), std::string::npos);
    ASSERT_TRUE(BringToForeground(main));
    PressKey('B', kCtrl);
    EXPECT_TRUE(HoldsFor([&] { return IsVisible(main) && NoMessageBox(); }, kQuiet)) << "Ctrl+B hid our own window";
    PressKey('O', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(paint); }));

    // The pointer resting in the chosen corner hides the ticked windows; in another, nothing.
    const int right = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int bottom = GetSystemMetrics(SM_CYSCREEN) - 1;
    SetCursorPos(0, 0);
    EXPECT_TRUE(HoldsFor([&] { return IsVisible(notes) && IsVisible(paint); }, kQuiet)) << "another corner hid";
    SetCursorPos(right, bottom);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(notes) && !IsVisible(paint); })) << "the corner hid nothing";
    SetCursorPos(right / 2, bottom / 2);
    PressKey('O', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(notes) && IsVisible(paint); }));

    // A minute without input hides them again.
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(notes) && !IsVisible(paint); }, Ms(90000)))
        << "a minute without input hid nothing";
    PressKey('O', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(notes) && IsVisible(paint); }));

    // Opened again: the stored values, the cleared one empty rather than the default.
    ASSERT_TRUE(BringToForeground(main));
    ASSERT_TRUE(ClickWindow(Control(ids::SpeedButton4)));
    dialog = app.WaitForWindow(kDialogClass, L"帮助", Ms(15000));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Text(ControlById(dialog, ids::edtHideSelf)), L"");
    EXPECT_EQ(Text(ControlById(dialog, ids::edtHide)), L"Ctrl + Q");
    EXPECT_EQ(Text(ControlById(dialog, ids::edtShow)), L"Alt + O");
    ASSERT_TRUE(ClickWindow(ControlById(dialog, ids::Button1)));
    ASSERT_TRUE(Eventually([&] { return !IsWindow(dialog) || !IsVisible(dialog); }));
    EXPECT_TRUE(app.Close());
}

// The start-with-Windows box writes the Run value at once, a start from that value stays out
// of sight until Alt+X, and the box is ticked only while the value starts this very exe.
TEST_F(HotKeys, StartWithWindowsBoxWritesTheRunValueAndAHiddenStartWaitsForAltX)
{
    NoRunValueLeft cleanup;
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    HWND dialog = OpenSettings();
    ASSERT_TRUE(dialog) << "\"设置\" did not open the dialog";
    HWND box = ControlById(dialog, ids::chkAutoStart);
    ASSERT_TRUE(box);
    EXPECT_EQ(Text(box), L"开机自动启动");
    EXPECT_EQ(SendTimed(box, BM_GETCHECK), BST_UNCHECKED);
    // The tab order runs down the dialog as it reads.
    HWND previous = ControlById(dialog, ids::edtShow);
    for (int id : {ids::edtHideActive, ids::cboHotCorner, ids::edtIdleMinutes, ids::chkAutoStart}) {
        EXPECT_EQ(GetNextDlgTabItem(dialog, previous, FALSE), ControlById(dialog, id)) << "out of order at " << id;
        previous = ControlById(dialog, id);
    }
    const std::wstring command = L"\"" + app.Exe() + L"\" /hidden";
    auto runValueStartsThisExe = [&] { return RunValue() && SameIgnoringCase(*RunValue(), command); };
    ASSERT_TRUE(ClickWindow(box));
    ASSERT_TRUE(Eventually(runValueStartsThisExe))
        << "the Run value is \"" << WideToUtf8(RunValue().value_or(L"(none)")) << "\", not " << WideToUtf8(command);
    EXPECT_EQ(SendTimed(box, BM_GETCHECK), BST_CHECKED);
    ASSERT_TRUE(CloseSettings(dialog));
    ASSERT_TRUE(app.Close());

    // Started as the Run list starts it: everything runs, nothing shows until Alt+X.
    ASSERT_TRUE(app.Start(L"/hidden", App::Until::MainWindowExists));
    main = app.MainWindow();
    EXPECT_TRUE(HoldsFor([&] { return !IsVisible(main) && app.Windows().empty(); }, kQuiet))
        << "a start with /hidden showed a window";
    PressKey('X', kAlt);
    ASSERT_TRUE(Eventually([&] { return IsVisible(main); })) << "Alt+X did not show the program started hidden";

    // Opened again, the box says the value is there.
    dialog = OpenSettings();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(SendTimed(ControlById(dialog, ids::chkAutoStart), BM_GETCHECK), BST_CHECKED);
    ASSERT_TRUE(CloseSettings(dialog));

    // A value that starts another copy (this one was moved here) is not ours: the box is
    // clear; ticking it puts this exe in, clearing it takes the value away.
    ASSERT_TRUE(SetRunValue(L"\"C:\\Elsewhere\\Tarnwick.exe\" /hidden"));
    dialog = OpenSettings();
    ASSERT_TRUE(dialog);
    box = ControlById(dialog, ids::chkAutoStart);
    EXPECT_EQ(SendTimed(box, BM_GETCHECK), BST_UNCHECKED);
    ASSERT_TRUE(ClickWindow(box));
    ASSERT_TRUE(Eventually(runValueStartsThisExe)) << "ticking did not replace the other copy's value";
    ASSERT_TRUE(ClickWindow(box));
    ASSERT_TRUE(Eventually([&] { return !RunValue(); })) << "clearing the box left the Run value";
    EXPECT_EQ(SendTimed(box, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_TRUE(NoMessageBox());
    ASSERT_TRUE(CloseSettings(dialog));
    EXPECT_TRUE(app.Close());
}

TEST_F(HotKeys, HandWrittenSettingsFileChoosesTheSelfHotKey)
{
    ASSERT_TRUE(WritePrivateProfileStringW(L"system", L"HideAllHelp", L"17", Settings().c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"system", L"HideAllWord", L"57", Settings().c_str()));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(Text(Control(ids::Label2)), L"Ctrl + 9 :显示/还原自己");
    PressKey('X', kAlt);
    EXPECT_TRUE(HoldsFor([&] { return IsVisible(main); }, kQuiet)) << "the default Alt+X acted";
    PressKey('9', kCtrl);
    ASSERT_TRUE(Eventually([&] { return !IsVisible(main); })) << "Ctrl+9 did not hide the tool window";
    PressKey('9', kCtrl);
    ASSERT_TRUE(Eventually([&] { return IsVisible(main); }));
    EXPECT_TRUE(app.Close());
}

} // namespace
