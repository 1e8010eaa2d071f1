#include "platform/ui/Dpi.h"
#include "platform/Win32Platform.h"

namespace tw::ui {

namespace {

// Looked up at run time: Windows 7 has none of these, and the program must start there.
template <typename F>
F User32Function(const char* name)
{
    return Bound<F>(::GetModuleHandleW(L"user32.dll"), name);
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(HANDLE);

// The documented values of DPI_AWARENESS_CONTEXT; older headers lack them.
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

UINT SystemDpi()
{
    HDC screen = ::GetDC(nullptr);
    if (!screen)
        return kDesignDpi;
    int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

} // namespace

UINT DpiOf(HWND hwnd)
{
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && hwnd)
        if (UINT dpi = getDpiForWindow(hwnd))
            return dpi;
    return SystemDpi();
}

void RequestPerMonitorDpi()
{
    auto set = User32Function<SetProcessDpiAwarenessContextFn>("SetProcessDpiAwarenessContext");
    if (!set)
        return;
    // Failures are expected and say nothing wrong: access denied once the manifest set the
    // awareness, an invalid parameter where version 2 is unknown.
    if (!set(kPerMonitorAwareV2))
        set(kPerMonitorAware);
}

} // namespace tw::ui
