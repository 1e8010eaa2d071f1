// Tarnwick: hides, and gives back, what is visible on the user's desktop.
#include "app/Unit1.h"

#include "platform/Win32Platform.h"
#include "platform/ui/Window.h"
#include "settings/uIniFileMgr.h"

#include <windows.h>
#include <commctrl.h>

#include <exception>

namespace {

// A fault we did not foresee must not leave other programs' windows hidden for ever: the
// windows and icons we hid are given back before the process ends.
LONG WINAPI RestoreOnCrash(EXCEPTION_POINTERS*)
{
    if (tw::FrmAmbler)
        tw::FrmAmbler->RestoreEverything();
    return EXCEPTION_EXECUTE_HANDLER;
}

void RestoreOnTerminate()
{
    if (tw::FrmAmbler)
        tw::FrmAmbler->RestoreEverything();
    std::abort();
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

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ::SetUnhandledExceptionFilter(&RestoreOnCrash);
    std::set_terminate(&RestoreOnTerminate);

    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&icc);
    tw::Win32Processes();   // the system version is read once, at start-up

    SettingsScope settings;
    tw::TFrmAmbler form;
    tw::ui::Guarded(nullptr, [&] { form.Create(); });
    if (!form.Handle())
        return 1;
    ::ShowWindow(form.Handle(), SW_SHOW);
    ::UpdateWindow(form.Handle());
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
