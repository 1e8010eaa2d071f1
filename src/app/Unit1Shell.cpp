// The two check boxes of the top panel: the taskbar and the desktop icons, each hidden and
// shown as a whole. The box is the only record of the state; the shell window is looked up
// afresh on every click, since the shell may have been restarted in between.
#include "app/Unit1.h"

#include "platform/ui/Controls.h"

#include <string_view>
#include <vector>

namespace tw {

namespace {

constexpr const wchar_t* kDesktopUnchecked = L"隐藏桌面图标";   // what a click on a clear box will do
constexpr const wchar_t* kDesktopChecked = L"显示桌面图标";
constexpr const wchar_t* kTaskbarUnchecked = L"隐藏任务栏";
constexpr const wchar_t* kTaskbarChecked = L"显示任务栏";

constexpr char kTaskbarClass[] = "Shell_TrayWnd";
// The taskbars of the other monitors: they go and come back with the main one.
constexpr char kSecondaryTaskbarClass[] = "Shell_SecondaryTrayWnd";

// No desktop has anywhere near this many monitors; a search that keeps finding windows
// (classes being registered and windows made under it) must still end.
constexpr int kMaxCompanions = 64;
// The shell makes a few "WorkerW" windows, and other programs may make more; the search for
// the one holding the icons still ends.
constexpr int kMaxWorkerWindows = 1024;

// How often the taskbar is looked at while the box says hidden, where no show event comes.
constexpr UINT kTaskbarWatchMs = 1000;

struct ShellTarget {
    HWND window;
    int showCommand;   // how it is given back
};

std::vector<HWND> Taskbars()
{
    std::vector<HWND> found;
    if (HWND shell = ::FindWindowA(kTaskbarClass, nullptr))
        found.push_back(shell);
    HWND after = nullptr;
    for (int i = 0; i < kMaxCompanions; ++i) {
        after = ::FindWindowExA(nullptr, after, kSecondaryTaskbarClass, nullptr);
        if (!after)
            break;
        found.push_back(after);
    }
    return found;
}

bool IsTaskbar(HWND window)
{
    char name[64]{};
    const int length = ::GetClassNameA(window, name, sizeof name);
    const std::string_view cls(name, length > 0 ? static_cast<std::size_t>(length) : 0);
    return cls == kTaskbarClass || cls == kSecondaryTaskbarClass;
}

// The shell's icon view ("SHELLDLL_DefView"): inside "Progman" on Windows 7-10 and on
// Windows 11 24H2 (where the wallpaper's "WorkerW" is inside "Progman" too), inside a
// top-level "WorkerW" once a wallpaper program, a slideshow or Task View has split the
// desktop (the wallpaper then in a second, empty one). Only the view goes, never the
// wallpaper. A shell without one (older, or replaced) has its "Progman" hidden whole.
ShellTarget DesktopIcons()
{
    HWND progman = ::FindWindowA("Progman", nullptr);
    if (progman)
        if (HWND view = ::FindWindowExA(progman, nullptr, "SHELLDLL_DefView", nullptr))
            return {view, SW_SHOWNA};
    HWND worker = nullptr;
    for (int i = 0; i < kMaxWorkerWindows; ++i) {
        worker = ::FindWindowExA(nullptr, worker, "WorkerW", nullptr);
        if (!worker)
            break;
        if (HWND view = ::FindWindowExA(worker, nullptr, "SHELLDLL_DefView", nullptr))
            return {view, SW_SHOWNA};
    }
    return {progman, SW_RESTORE};
}

bool IsChecked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The shell's windows belong to another thread: a plain ShowWindow waits for that thread,
// and a hung shell would freeze the program with it.
void ApplyDesktopIcons(bool hide)
{
    const ShellTarget icons = DesktopIcons();
    if (icons.window)
        ::ShowWindowAsync(icons.window, hide ? SW_HIDE : icons.showCommand);
}

void ApplyTaskbar(bool hide)
{
    for (HWND bar : Taskbars())
        ::ShowWindowAsync(bar, hide ? SW_HIDE : SW_RESTORE);
}

void CALLBACK TaskbarShown(HWINEVENTHOOK hook, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    // Only the window itself, not the parts of it that accessibility reports, and not an
    // event still queued from a watch that has ended.
    if (object != OBJID_WINDOW || child != CHILDID_SELF || !FrmAmbler || !FrmAmbler->IsTaskbarWatch(hook))
        return;
    if (window && IsTaskbar(window))
        ::ShowWindowAsync(window, SW_HIDE);
}

template <typename F>
void Toggle(HWND owner, HWND box, const wchar_t* checkedCaption, const wchar_t* uncheckedCaption, F&& apply)
{
    try {
        bool checked = IsChecked(box);
        ui::SetText(box, checked ? checkedCaption : uncheckedCaption);
        apply(checked);
    } catch (...) {
        ui::ShowMessage(owner, L"失败！");
    }
}

} // namespace

void TFrmAmbler::CheckBox1Click()
{
    Toggle(hwnd_, Control(ids::CheckBox1), kDesktopChecked, kDesktopUnchecked, ApplyDesktopIcons);
}

void TFrmAmbler::CheckBox2Click()
{
    Toggle(hwnd_, Control(ids::CheckBox2), kTaskbarChecked, kTaskbarUnchecked, [this](bool hide) {
        ApplyTaskbar(hide);
        WatchTaskbar(hide);
    });
}

void TFrmAmbler::HideShellAgain()
{
    if (IsChecked(Control(ids::CheckBox1)))
        ApplyDesktopIcons(true);
    if (IsChecked(Control(ids::CheckBox2))) {
        ApplyTaskbar(true);
        WatchTaskbar(true);
    }
}

void TFrmAmbler::WatchTaskbar(bool watch)
{
    DWORD pid = 0;
    if (watch)
        if (HWND bar = ::FindWindowA(kTaskbarClass, nullptr))
            ::GetWindowThreadProcessId(bar, &pid);
    // A restarted shell is another process: the hook follows it.
    if (taskbarHook_ && (!watch || pid != taskbarHookPid_)) {
        ::UnhookWinEvent(taskbarHook_);
        taskbarHook_ = nullptr;
        taskbarHookPid_ = 0;
    }
    if (!watch) {
        ::KillTimer(hwnd_, kTaskbarWatchTimer);
        return;
    }
    // Out of context: nothing of ours runs in the shell, and the events reach us as messages,
    // so a busy shell is never waited for. Without a shell to watch (or where the system
    // refuses the hook), the look once a second does the work alone.
    if (!taskbarHook_ && pid != 0) {
        taskbarHook_ = ::SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, &TaskbarShown, pid, 0,
                                         WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
        taskbarHookPid_ = taskbarHook_ ? pid : 0;
    }
    ::SetTimer(hwnd_, kTaskbarWatchTimer, kTaskbarWatchMs, nullptr);
}

void TFrmAmbler::TaskbarWatchTick()
{
    if (!IsChecked(Control(ids::CheckBox2))) {
        WatchTaskbar(false);
        return;
    }
    WatchTaskbar(true);
    // A hung shell is not asked again every second: the requests would pile up in its queue
    // until it reads them. It gets one more once it answers.
    for (HWND bar : Taskbars())
        if (::IsWindowVisible(bar) && !::IsHungAppWindow(bar))
            ::ShowWindowAsync(bar, SW_HIDE);
}

} // namespace tw
