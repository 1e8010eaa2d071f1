// Tarnwick: hides, and gives back, what is visible on the user's desktop.
#include "app/RestoreRecorded.h"
#include "app/SingleCopy.h"
#include "app/Unit1.h"

#include "platform/Win32Platform.h"
#include "platform/ui/Dpi.h"
#include "platform/ui/Handles.h"
#include "platform/ui/Window.h"
#include "record/uHiddenRecord.h"
#include "settings/uIniFileMgr.h"

#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <memory>

namespace {

// Stands in for the thread whose id it is given.
DWORD WINAPI RestoreOnFreshStack(void* faultingThread)
{
    tw::FrmAmbler->RestoreAfterFault(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(faultingThread)));
    return 0;
}

// A fault we did not foresee must not leave other programs' windows hidden for ever: the
// windows and icons we hid are given back before the process ends, on the window's thread.
LONG WINAPI RestoreOnCrash(EXCEPTION_POINTERS* info)
{
    if (!tw::FrmAmbler)
        return EXCEPTION_EXECUTE_HANDLER;
    const DWORD faulting = ::GetCurrentThreadId();
    // A thread whose stack overflowed has next to none left for the restore (typically the
    // window's own thread, deep in recursion): it is done on a thread of its own. The wait is
    // bounded, since that thread's start may need a lock the fault left held.
    constexpr DWORD kRestoreWaitMs = 10000;
    if (info && info->ExceptionRecord && info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        if (tw::ui::UniqueHandle thread{::CreateThread(nullptr, 0, &RestoreOnFreshStack,
                                                       reinterpret_cast<void*>(static_cast<UINT_PTR>(faulting)), 0,
                                                       nullptr)}) {
            ::WaitForSingleObject(thread.Get(), kRestoreWaitMs);
            return EXCEPTION_EXECUTE_HANDLER;
        }
    }
    tw::FrmAmbler->RestoreAfterFault(faulting);
    return EXCEPTION_EXECUTE_HANDLER;
}

void RestoreOnTerminate()
{
    if (tw::FrmAmbler)
        tw::FrmAmbler->RestoreAfterFault(::GetCurrentThreadId());
    std::abort();
}

// DLLs come from the system folder only, never from the program's folder or the current
// one, where a planted copy of a system DLL would be loaded in its place. The call exists
// from Windows 8 on, and on Windows 7 with update KB2533623; elsewhere the current folder is
// at least taken out of the search.
void LoadDllsFromTheSystemFolderOnly()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32
    auto fn = tw::Bound<SetDefaultDllDirectoriesFn>(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (fn && fn(kSearchSystem32))
        return;
    ::SetDllDirectoryW(L"");
}

// A fault in a window procedure that the system called back into (a message sent to us from
// inside a system call) is swallowed at that boundary by 64-bit Windows unless told
// otherwise: the program would go on with broken state, and the restore above would never
// run. With the filter off, such a fault ends the program as any other does. The calls exist
// from Windows 7 SP1 on; where they are missing, there is nothing to switch off.
void LetCallbackFaultsReachTheCrashHandler()
{
    using GetPolicyFn = BOOL(WINAPI*)(LPDWORD);
    using SetPolicyFn = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kCallbackFilterEnabled = 0x1;   // PROCESS_CALLBACK_FILTER_ENABLED
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto get = tw::Bound<GetPolicyFn>(kernel, "GetProcessUserModeExceptionPolicy");
    auto set = tw::Bound<SetPolicyFn>(kernel, "SetProcessUserModeExceptionPolicy");
    DWORD flags = 0;
    if (get && set && get(&flags))
        set(flags & ~kCallbackFilterEnabled);
}

// The one settings manager of the run, from before the main window exists until after it
// has gone.
class SettingsScope {
public:
    SettingsScope() : settings_(tw::Win32Profile()) { tw::IniFileMgr = &settings_; }
    ~SettingsScope() { tw::IniFileMgr = nullptr; }
    SettingsScope(const SettingsScope&) = delete;
    SettingsScope& operator=(const SettingsScope&) = delete;

private:
    tw::TIniFileMgr settings_;
};

// One copy per user session, at every integrity level. The name lives in the session's own
// namespace, so other users' sessions run their own copies.
constexpr wchar_t kInstanceMutex[] = L"Local\\Tarnwick.Instance.6A0F3C2E";

// "/restore" with no copy running: everything the record holds comes back, no window opens.
int RestoreFromRecord()
{
    tw::THiddenRecord record(tw::Win32Store(), tw::Win32Windows(), tw::Win32Identity(),
                             tw::THiddenRecord::PathBeside(tw::IniFileMgr->Path()));
    record.Load();
    tw::RestoreRecorded(record, tw::Win32Windows(), tw::Win32Processes(), &tw::Win32Registry());
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int)
{
    LoadDllsFromTheSystemFolderOnly();
    ::SetUnhandledExceptionFilter(&RestoreOnCrash);
    LetCallbackFaultsReachTheCrashHandler();
    std::set_terminate(&RestoreOnTerminate);

    const tw::StartSwitch request = tw::ParseStartSwitch(args ? args : L"");
    // A script that mistyped its command must not get a second program, nor a window.
    if (request == tw::StartSwitch::Unknown)
        return tw::kUnknownArgument;
    const bool restore = request == tw::StartSwitch::Restore;
    // Started from the Run list at logon: everything a start does, but out of sight, as after
    // the show/hide-self hot key; that hot key (or another start) shows the window.
    const bool hidden = request == tw::StartSwitch::Hidden;
    // Held until the program ends.
    std::unique_ptr<tw::InstanceApi> instance = tw::NewWin32InstanceLock(
        kInstanceMutex, TW_MAIN_WINDOW_CLASS, tw::ShowRequestMessage(), tw::RestoreRequestMessage());
    if (tw::IsCommand(request))
        return tw::SendCommand(*instance, request);
    const tw::StartVerdict verdict = tw::DecideStart(*instance, restore);
    if (!verdict.run) {
        if (verdict.tellElevated)
            tw::ui::ShowMessage(nullptr, L"Tarnwick 已在以管理员身份运行");
        return verdict.exitCode;
    }

    tw::ui::RequestPerMonitorDpi();
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&icc);
    tw::Win32Processes();   // the system version is read once, at start-up

    SettingsScope settings;
    if (restore)
        return RestoreFromRecord();
    tw::TFrmAmbler form;
    tw::ui::Guarded(nullptr, [&] { form.Create(); });
    if (!form.Handle())
        return 1;
    if (!hidden) {
        ::ShowWindow(form.Handle(), SW_SHOW);
        ::UpdateWindow(form.Handle());
    }
    // Painted first, so that what the window does not show (the record, the tray, the
    // sound) never keeps it blank; then the first message the loop takes, so the window
    // answers whoever asks whether it is up, and no click finds the start half done.
    form.FinishStartWhenIdle();
    // Told once, at start: from here on, nothing the user changes can be kept.
    if (tw::IniFileMgr && tw::IniFileMgr->Unreadable())
        tw::ui::ShowMessage(form.Handle(), L"无法读取设置文件，本次运行不会保存设置！");

    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(form.Handle(), &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
