// The helper's half of the handshake with tw::e2e::Helper. Header-only: a helper plays
// "another program" and links nothing of ours. Run by hand (no test around it), every call
// here is harmless and RunUntilQuit ends on WM_QUIT only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::e2e::helper {

// The driver names its events in these variables; each name carries the test's process id
// and a counter, so parallel tests never share one.
inline constexpr wchar_t kReadyEventVariable[] = L"TW_READY_EVENT";
inline constexpr wchar_t kQuitEventVariable[] = L"TW_QUIT_EVENT";

inline HANDLE OpenDriverEvent(const wchar_t* variable) {
    wchar_t name[256]{};
    const DWORD n = GetEnvironmentVariableW(variable, name, 256);
    if (n == 0 || n >= 256) {
        return nullptr;
    }
    return OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
}

// Registers a window class as a plain program's: the arrow cursor, a system colour behind.
inline bool RegisterPlainClass(const wchar_t* name, WNDPROC proc, int background = COLOR_BTNFACE) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = proc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = GetSysColorBrush(background);
    cls.lpszClassName = name;
    return RegisterClassW(&cls) != 0;
}

// Tells the test that the helper is set up (windows created, data in place).
inline void SignalReady() {
    if (HANDLE ready = OpenDriverEvent(kReadyEventVariable)) {
        SetEvent(ready);
        CloseHandle(ready);
    }
}

// One line to the test (Helper::ReadLine), written at once: no buffering to flush.
inline void Say(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) {
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

// Runs this thread's message loop until the test asks the helper to stop (0) or WM_QUIT
// arrives (its exit code). Console helpers without windows use it just to wait.
inline int RunUntilQuit() {
    HANDLE quit = OpenDriverEvent(kQuitEventVariable);
    for (;;) {
        const DWORD waited = MsgWaitForMultipleObjects(quit ? 1 : 0, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (quit && waited == WAIT_OBJECT_0) {
            CloseHandle(quit);
            return 0;
        }
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                if (quit) {
                    CloseHandle(quit);
                }
                return static_cast<int>(msg.wParam);
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace tw::e2e::helper
