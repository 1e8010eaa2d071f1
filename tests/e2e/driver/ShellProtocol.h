// How a test drives the stand-in shell (helpers/stand_in_shell.cpp): a taskbar "Shell_TrayWnd"
// with "TrayNotifyWnd" > "SysPager" > a real common-controls toolbar, and a desktop window
// "Progman", in a process of their own, as the real shell has them. Header-only, shared by
// the helper and the tests.
//
// On command it also has the hidden-icons flyout: a hidden top-level "NotifyIconOverflowWindow"
// holding a second toolbar.
//
// The helper's first lines of output are "<name> <decimal HWND>" for taskbar, notify,
// pager, toolbar and progman. Commands are WM_COPYDATA to the taskbar: dwData is the
// command, the payload UTF-16 without terminator; the reply is 1 when it was done.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::e2e::shell {

enum Command : ULONG_PTR {
    kAddButton = 1,      // "id\tflags\towner\ttext": flags "h" hidden, "n" without text, "o" on
                         // the hidden-icons flyout's toolbar (made at its first use); owner the
                         // icon's window in decimal, 0 for one of the shell's own; appended
    kDeleteButton = 2,   // "id": the first button with that identifier
    kDestroyTray = 3,    // the taskbar and everything under it go
    kHang = 4,           // "event name": stops reading messages until that event is set
    kClear = 5,          // every button goes
    kAnnounce = 6,       // broadcasts "TaskbarCreated", as a shell that has just started does
    kAddSecondaryTaskbar = 16,   // one more "Shell_SecondaryTrayWnd", as another monitor has
    kShowTaskbars = 17,   // every taskbar hides and shows itself, as the system does for the Start menu
    kDesktopLayout = 18,  // "10": the icon view "SHELLDLL_DefView" > "SysListView32" moves into a
                          // top-level "WorkerW", the wallpaper into a second, empty one, as a
                          // split Windows 10 desktop has them; "24H2": the view back in "Progman",
                          // the wallpaper's "WorkerW" inside "Progman" too
    kShownWhileHidden = 19,   // the reply is how many requests the toolbars have had, in all,
                              // to show a button that was hidden
};

inline bool SendCommand(HWND taskbar, Command command, std::wstring_view payload, UINT timeoutMs = 5000) {
    COPYDATASTRUCT data{};
    data.dwData = command;
    data.cbData = static_cast<DWORD>(payload.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(payload.data());
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(taskbar, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               timeoutMs, &result) &&
           result == 1;
}

inline bool AddButton(HWND taskbar, int id, std::wstring_view text, std::wstring_view flags = {},
                      HWND owner = nullptr) {
    return SendCommand(taskbar, kAddButton,
                       std::to_wstring(id) + L"\t" + std::wstring(flags) + L"\t" +
                           std::to_wstring(reinterpret_cast<UINT_PTR>(owner)) + L"\t" + std::wstring(text));
}

inline bool DeleteButton(HWND taskbar, int id) { return SendCommand(taskbar, kDeleteButton, std::to_wstring(id)); }

// -1 when the shell did not answer.
inline int ShownWhileHidden(HWND taskbar) {
    COPYDATASTRUCT data{};
    data.dwData = kShownWhileHidden;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(taskbar, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                               &result)
               ? static_cast<int>(result)
               : -1;
}

} // namespace tw::e2e::shell
