// How a test asks the target-windows helper (helpers/target_windows.cpp) for windows. Shared,
// header-only, by the helper and the driver's TargetWindows.
//
// The helper owns a message-only control window (so it never shows up among top-level
// windows) and answers WM_COPYDATA on it: dwData is the command, the payload a UTF-16 title
// without terminator, and the reply is the new window's handle as LRESULT (0 on failure).
// WM_COPYDATA is the one message whose payload the system carries between processes.
#pragma once

#include <windows.h>

namespace tw::e2e::target {

// The helper's first line of output: "control <decimal HWND>".
inline constexpr char kControlLinePrefix[] = "control ";

enum Command : ULONG_PTR {
    kCreateShown = 1,      // visible, not activated, not minimised
    kCreateHidden = 2,     // created without WS_VISIBLE, as a program in the tray keeps it
    kCreateMinimized = 3,  // shown minimised, not activated
    kCreateWithChild = 4,  // visible, with one child of class "Button"
    kCreateHung = 5,       // visible, on a thread of its own that stops reading messages
    kCreateStubborn = 6,   // visible; its program hides it again whenever it is shown later
};

// Class of every target window.
inline constexpr wchar_t kTargetClass[] = L"TwTarget";

} // namespace tw::e2e::target
