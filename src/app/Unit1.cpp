// TFrmAmbler's start-up, close and page switching: the layout as designed, the requests of
// another start, and the work held back while the lists wait on other programs.
#include "app/Unit1.h"

#include "app/res/resource.h"
#include "files/AttribQueue.h"
#include "files/FileListRules.h"
#include "platform/Win32Platform.h"
#include "platform/ui/Controls.h"
#include "settings/uIniFileMgr.h"

#include <commctrl.h>

#include <array>
#include <stdexcept>
#include <utility>

namespace tw {

TFrmAmbler* FrmAmbler = nullptr;

namespace {

using ui::Kind;
using ui::SysColor;

enum Font : int { FontDefault, FontContact, FontHotKeyLabel, FontBold };

const ui::FontSpec kFonts[] = {
    {L"MS Sans Serif", -11},
    {L"Arial", -11, false, true},
    {L"Arial", -11},
    {L"MS Sans Serif", -11, true},
};

constexpr UINT kRecordRetryMs = 1000;
// How long the close looks for the windows it gave back: those not seen by then stay in
// the record, so the next start or "/restore" tries them again. A session that is ending
// does not wait: the file commands need what time it has, and the record keeps the rest.
constexpr unsigned kCloseRestoreWaitMs = 1000;
// The sound comes back at once but for a stuck audio service; what is not confirmed stays in
// the record. A crash waits a little longer: nothing else is left to do.
constexpr unsigned kCloseUnmuteWaitMs = 500;
constexpr unsigned kCrashUnmuteWaitMs = 1000;

constexpr int kClientWidth = 223;
constexpr int kClientHeight = 359;

// The tool window as designed: two top-aligned panels, then the page control filling the
// rest of the client area. Positions are relative to the parent row.
const ui::ControlSpec kLayout[] = {
    // id                  name              kind              parent            left top  width height text / hint
    {ids::Panel1,          "Panel1",         Kind::Panel,      0,                0,   0,   223, 59,  nullptr, nullptr},
    {ids::Label3,          "Label3",         Kind::Label,      ids::Panel1,      1,   3,   220, 14,  L"有新的需求请发邮件至 tw@example.com", nullptr,
     FontContact, ui::NoFlags, RGB(0, 0, 0), SysColor(COLOR_3DLIGHT)},
    {ids::CheckBox1,       "CheckBox1",      Kind::CheckBox,   ids::Panel1,      4,   21,  101, 17,  L"隐藏桌面图标", nullptr},
    {ids::CheckBox2,       "CheckBox2",      Kind::CheckBox,   ids::Panel1,      112, 20,  95,  17,  L"隐藏任务栏", nullptr},
    {ids::Label2,          "Label2",         Kind::Label,      ids::Panel1,      3,   40,  107, 14,  L"Alt+X :显示/还原自己", nullptr,
     FontHotKeyLabel, ui::NoFlags, RGB(255, 0, 0), SysColor(COLOR_3DLIGHT)},
    {ids::SpeedButton4,    "SpeedButton4",   Kind::FlatButton, ids::Panel1,      126, 38,  49,  20,  L"设置", nullptr, FontBold},
    {ids::Panel2,          "Panel2",         Kind::Panel,      0,                0,   59,  223, 25,  nullptr, nullptr},
    {ids::BtnRefreshList,  "BtnRefreshList", Kind::ImageButton, ids::Panel2,     2,   2,   21,  20,  nullptr, L"刷新窗口列表",
     FontDefault, ui::NoFlags, ui::kDefaultColor, ui::kDefaultColor, IDI_REFRESH},
    {ids::BtnHideWindows,  "BtnHideWindows", Kind::ImageButton, ids::Panel2,     26,  2,   21,  20,  nullptr, L"隐藏选中窗体",
     FontDefault, ui::NoFlags, ui::kDefaultColor, ui::kDefaultColor, IDI_HIDE},
    {ids::BtnShowWindows,  "BtnShowWindows", Kind::ImageButton, ids::Panel2,     50,  2,   21,  20,  nullptr, L"还原选中窗体",
     FontDefault, ui::NoFlags, ui::kDefaultColor, ui::kDefaultColor, IDI_SHOW},
    {ids::PageControl1,    "PageControl1",   Kind::Tabs,       0,                0,   84,  223, 275, nullptr, nullptr},
    {ids::TabSheet1,       "TabSheet1",      Kind::Page,       ids::PageControl1, 0,  0,   0,   0,   L"窗口", nullptr,
     FontDefault, ui::Covered},
    {ids::lstWindowName,   "lstWindowName",  Kind::ListView,   ids::TabSheet1,   0,   0,   0,   0,   nullptr, nullptr,
     FontDefault, ui::FillParent},
    {ids::edtBossKey,      "edtBossKey",     Kind::Edit,       ids::TabSheet1,   40,  79,  69,  21,  nullptr, nullptr,
     FontDefault, ui::Hidden | ui::Later},
    {ids::TabSheet3,       "TabSheet3",      Kind::Page,       ids::PageControl1, 0,  0,   0,   0,   L"托盘", nullptr},
    {ids::lstTrayIcons,    "lstTrayIcons",   Kind::ListView,   ids::TabSheet3,   0,   0,   0,   0,   nullptr, nullptr,
     FontDefault, ui::FillParent},
    {ids::lblTrayUnreadable, "lblTrayUnreadable", Kind::Label, ids::TabSheet3,   6,   10,  205, 14,  L"无法读取本系统的通知区域。", nullptr,
     FontDefault, ui::Hidden | ui::Later},
    {ids::TabSheet2,       "TabSheet2",      Kind::Page,       ids::PageControl1, 0,  0,   0,   0,   L"文件", nullptr,
     FontDefault, ui::Covered | ui::Later},
    {ids::lstFiles,        "lstFiles",       Kind::ListBox,    ids::TabSheet2,   0,   0,   0,   0,   nullptr, nullptr,
     FontDefault, ui::FillParent},
};

const ui::ColumnSpec kColumns[] = {
    {ids::lstWindowName, L"选择", 40},
    {ids::lstWindowName, L"老板键", 50},
    {ids::lstWindowName, L"窗口名称", 350},
    {ids::lstTrayIcons, L"选择", 40},
    {ids::lstTrayIcons, L"图标名称", 350},
};

// The refresh button's hint, by page index.
const std::array<const wchar_t*, 3> RefreshHints = {L"刷新窗口列表", L"刷新托盘列表", L"选择文件"};

} // namespace

UINT ShowRequestMessage()
{
    static const UINT msg = ::RegisterWindowMessageW(L"Tarnwick.ShowMainWindow");
    return msg;
}

UINT RestoreRequestMessage()
{
    static const UINT msg = ::RegisterWindowMessageW(L"Tarnwick.RestoreHidden");
    return msg;
}

UINT TaskbarCreatedMessage()
{
    static const UINT msg = ::RegisterWindowMessageW(L"TaskbarCreated");
    return msg;
}

TFrmAmbler::TFrmAmbler() { FrmAmbler = this; }

TFrmAmbler::~TFrmAmbler()
{
    UnbindFilePicker();
    if (FrmAmbler == this)
        FrmAmbler = nullptr;
}

void TFrmAmbler::Create()
{
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    auto icon = static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 0, 0,
                                                LR_DEFAULTSIZE | LR_SHARED));
    RegisterWindowClass(TW_MAIN_WINDOW_CLASS, icon, ::GetSysColorBrush(COLOR_BTNFACE));

    // A tool window (small caption, close box only, fixed size) that still owns the
    // program's taskbar button, placed in the centre of the screen and sized for the DPI of
    // the monitor it lands on.
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    RECT rc{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    if (!CreateHwnd(TW_MAIN_WINDOW_CLASS, exStyle, style, ui::kAppTitle, x, y, width, height, nullptr))
        throw std::runtime_error("cannot create the main window");
    FitToDpi(kClientWidth, kClientHeight, true, Anchor::Centre);
    // Run as administrator, the window would not hear the shell announce a restart, nor a
    // second start ask it to show or restore: a window above the sender's integrity level
    // drops registered messages unless it lets them in.
    for (UINT msg : {TaskbarCreatedMessage(), ShowRequestMessage(), RestoreRequestMessage()})
        ::ChangeWindowMessageFilterEx(hwnd_, msg, MSGFLT_ALLOW, nullptr);

    BuildControls(kLayout, kFonts, kColumns, Hints::Later);
    HookMouseDown(ids::lstWindowName);
    HookMouseDown(ids::lstTrayIcons);
    FormCreate();
}

void TFrmAmbler::FormCreate()
{
    // Until FinishStart has run, what arrives (a hot key, another start's request, a close)
    // waits for it: the record is not read yet, so nothing may be hidden or given back.
    starting_.emplace(*this);
    BusyScope busy(*this);
    // Only what the first paint shows: the Windows page and the hot-key label. Each thing
    // that waits on a file or another program (the record, the tray, the shell's
    // virtual-desktop answer, the sound) comes after it. An error in a step is reported and
    // the remaining steps are skipped; the window opens.
    ui::Guarded(hwnd_, [&] {
        // Made now and read in FinishStart: the lists hold it from their start, and nothing
        // is hidden before it has been read.
        if (IniFileMgr)
            Record = std::make_unique<THiddenRecord>(Win32Store(), Win32Windows(), Win32Identity(),
                                                     THiddenRecord::PathBeside(IniFileMgr->Path()));
        WindowList = std::make_unique<TWindowList>(Win32Windows(), Record.get(), &Win32Identity());
        FillWindowPage();
        CreateHotKeys();
        BindFilePicker();
        RegisterHotKeys();
        SetHint(ids::BtnRefreshList, RefreshHints[0]);
    });
}

void TFrmAmbler::FinishStart()
{
    // Not for a window whose controls could not be built (FormCreate never ran), and once
    // only: a second run would read the record over what this one has hidden since.
    if (!starting_ || std::exchange(started_, true))
        return;
    {
        BusyScope busy(*this);
        // What the first paint does not show: the Files page, the boss-key editor, the
        // hover hints. Should one fail, the record is still read below.
        ui::Guarded(hwnd_, [&] {
            BuildLater();
            AttachHints();
            AttachBossKeyBox();
            BuildFilesPage();
        });
        ui::Guarded(hwnd_, [&] {
            // What an earlier run hid and could not give back (it was killed, say) is listed
            // again, ticked and ours, before the pages are filled again.
            if (Record) {
                Record->Load();
                // Held open by another program (a backup, a scan): this run records in
                // memory, and takes in what the file holds once it can read it.
                if (Record->Pending())
                    ::SetTimer(hwnd_, kRecordRetryTimer, kRecordRetryMs, nullptr);
            }
            LoadRemembered();
            if (WindowList) {
                WindowList->AdoptRecorded();
                CreateMuter();
                // The adopted windows, the remembered programs' ticks and boss keys, the
                // windows on other virtual desktops, and the sound.
                FillWindowPage();
            }
            TrayIconList = std::make_unique<TTrayIconList>(Win32Windows(), Win32Processes(), Record.get(),
                                                           &Win32Registry(), &Win32Identity());
            TrayIconList->AdoptRecorded();
            FillTrayPage();
            WatchTrayIcons();
            LoadFileList();
            ApplyHideTriggers();
        });
    }
    // What waited for the start runs now, in the order it came.
    starting_.reset();
}

void TFrmAmbler::FinishStartWhenIdle()
{
    // Ahead of any input, which the loop takes after posted messages; should the post fail
    // (a full queue), done now.
    if (!::PostMessageW(hwnd_, kFinishStartMessage, 0, 0))
        FinishStart();
}

bool TFrmAmbler::FormClose(bool sessionEnding)
{
    // Frees nothing, so it is safe even when the session ends in the middle of other work.
    closing_ = true;
    ::KillTimer(hwnd_, kRestoreCheckTimer);
    ::KillTimer(hwnd_, kRecordRetryTimer);
    ::KillTimer(hwnd_, kTrayWatchTimer);
    ::KillTimer(hwnd_, kHotCornerTimer);
    ::KillTimer(hwnd_, kIdleTimer);
    if (WindowList) {
        WindowList->RestoreHidden();
        WaitForRestores(sessionEnding ? 0 : kCloseRestoreWaitMs);
    }
    if (TrayIconList)
        TrayIconList->ShowHidden(!sessionEnding);
    UnmuteEverything(kCloseUnmuteWaitMs);
    try {
        SaveFileList();
    } catch (const std::exception&) {
        // The list is the only record of what was hidden, but a close must stay possible:
        // the user decides whether to quit without it. A session that is ending ends
        // whatever the answer, and a question would only hold up the log-off.
        if (!sessionEnding && !AskQuitWithoutSaving()) {
            closing_ = false;
            return false;
        }
    }
    FinishFileCommands(sessionEnding);
    closed_ = true;
    return true;
}

void TFrmAmbler::FormDestroy()
{
    WatchTaskbar(false);
    Muter.reset();
    TrayIconList.reset();
    WindowList.reset();
}

void TFrmAmbler::RestoreEverything() noexcept
{
    try {
        if (WindowList)
            WindowList->RestoreHidden();
    } catch (...) {
    }
    try {
        if (TrayIconList)
            TrayIconList->ShowHidden();
    } catch (...) {
    }
    UnmuteEverything(kCrashUnmuteWaitMs);
}

void TFrmAmbler::RestoreAfterFault(DWORD faultingThread) noexcept
{
    // Long enough for the window's thread to finish work it is inside and give back (the
    // sound's wait included), short enough that a stack overflow's stand-in thread, waited
    // for ten seconds, is done first.
    constexpr unsigned kAskWindowMs = 4000;
    faultRestore_.AfterFault(hwnd_, faultingThread, kAskWindowMs);
}

TFrmAmbler::BusyScope::~BusyScope()
{
    if (--form_.busy_ == 0)
        form_.RunDeferred();
}

void TFrmAmbler::RunDeferred()
{
    // Posted, not done here: the work that just ended may still have its caller on the stack.
    if (std::exchange(pendingRestore_, false))
        ::PostMessageW(hwnd_, RestoreRequestMessage(), 0, 0);
    if (std::exchange(pendingShow_, false))
        ::PostMessageW(hwnd_, ShowRequestMessage(), 0, 0);
    if (std::exchange(pendingTaskbarCreated_, false))
        ::PostMessageW(hwnd_, TaskbarCreatedMessage(), 0, 0);
    for (StartSwitch command : std::exchange(pendingCommands_, {}))
        ::PostMessageW(hwnd_, kCommandMessage, static_cast<WPARAM>(command), 0);
    for (const PendingHotKey& press : std::exchange(pendingHotKeys_, {}))
        ::PostMessageW(hwnd_, WM_HOTKEY, static_cast<WPARAM>(press.id),
                       MAKELPARAM(static_cast<WORD>(press.modifiers), static_cast<WORD>(press.key)));
    if (std::exchange(pendingClose_, false))
        ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

bool TFrmAmbler::OnRequest(UINT msg)
{
    // Registered messages live at 0xC000 and above; a failed registration's 0 is WM_NULL.
    if (msg < 0xC000)
        return false;
    const bool show = msg == ShowRequestMessage();
    if (!show && msg != RestoreRequestMessage())
        return false;
    if (busy_ > 0) {
        (show ? pendingShow_ : pendingRestore_) = true;
    } else if (show) {
        ShowSelf();
    } else {
        // A window that refuses is reported in a message box: "/restore" has its answer first.
        if (::InSendMessage())
            answerOwed_ = 1;
        RestoreAllHidden();
        AnswerWaitingStart();
    }
    return true;
}

void TFrmAmbler::ShowSelf()
{
    // As the show/hide-self hot key shows the window, and restored should it be minimised.
    ::ShowWindow(hwnd_, ::IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(hwnd_);
}

void TFrmAmbler::RestoreAllHidden()
{
    std::vector<TWindow*> refused;
    BusyScope busy(*this);
    try {
        if (WindowList)
            refused = WindowList->RestoreHidden();
        SyncAudio();
        if (TrayIconList)
            TrayIconList->ShowHidden();
        // A tick on the tray page means "hidden": the given-back icons lose theirs.
        HWND lv = Control(ids::lstTrayIcons);
        for (int row = 0; row < ui::LvGetItemCount(lv); ++row)
            if (TTrayIcon* icon = RowIcon(row))
                ui::LvSetChecked(lv, row, icon->Hidden);
    } catch (...) {
        // Whatever could be given back has been; the rest stays in the record.
    }
    WatchRestores(refused);
}

void TFrmAmbler::RecordRetryTick()
{
    if (!Record || Closing()) {
        ::KillTimer(hwnd_, kRecordRetryTimer);
        return;
    }
    // Adopting refills the pages: never under work that uses their rows.
    if (busy_ > 0 || !Record->Retry())
        return;
    ::KillTimer(hwnd_, kRecordRetryTimer);
    if (WindowList)
        WindowList->AdoptRecorded();
    if (Muter)
        Muter->AdoptRecorded();
    FillWindowPage();
    if (TrayIconList)
        TrayIconList->AdoptRecorded();
    FillTrayPage();
}

void TFrmAmbler::PageChanged(int tabsId, int index)
{
    if (tabsId == ids::PageControl1)
        PageControl1Change(index);
}

void TFrmAmbler::PageControl1Change(int index)
{
    int show = index == 0 ? SW_SHOW : SW_HIDE;
    ::ShowWindow(Control(ids::BtnHideWindows), show);
    ::ShowWindow(Control(ids::BtnShowWindows), show);
    if (index >= 0 && index < static_cast<int>(RefreshHints.size()))
        SetHint(ids::BtnRefreshList, RefreshHints[static_cast<std::size_t>(index)]);
}

void TFrmAmbler::BtnRefreshListClick()
{
    switch (ActivePage(ids::PageControl1)) {
    case 0: FillWindowPage(); break;
    case 1: FillTrayPage(); break;
    case 2: ShowFilePicker(); break;
    default: break;
    }
}

} // namespace tw
