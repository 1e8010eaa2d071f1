// The screen corner and the idle timer: each hides the ticked windows as Alt+H does. The
// pointer and the input clock are looked at on a timer, and only while the user has chosen
// the trigger: a low-level mouse hook would see every move sooner, but a hook that stalls
// (under a debugger, a busy moment) holds up the user's mouse everywhere.
#include "app/Unit1.h"

#include "settings/uIniFileMgr.h"

namespace tw {

namespace {
// A look every 50 ms sees a 150 ms rest in the corner within about 200 ms, at a cost nobody
// measures; the idle time is counted in minutes and a second late changes nothing.
constexpr UINT kHotCornerLookMs = 50;
constexpr UINT kIdleLookMs = 1000;
} // namespace

void TFrmAmbler::ApplyHideTriggers()
{
    if (!IniFileMgr)
        return;
    hotCorner_.SetCorner(ReadHotCorner(*IniFileMgr));
    idleTimer_.SetMinutes(ReadIdleMinutes(*IniFileMgr));
    if (hotCorner_.Corner() != ScreenCorner::None)
        ::SetTimer(hwnd_, kHotCornerTimer, kHotCornerLookMs, nullptr);
    else
        ::KillTimer(hwnd_, kHotCornerTimer);
    if (idleTimer_.Minutes() > 0)
        ::SetTimer(hwnd_, kIdleTimer, kIdleLookMs, nullptr);
    else
        ::KillTimer(hwnd_, kIdleTimer);
}

void TFrmAmbler::HotCornerTick()
{
    // Under other work the look waits: the rows it would hide may be changing.
    if (Closing() || busy_ > 0)
        return;
    POINT at{};
    // Refused while another desktop (a password prompt, the lock screen) has the input.
    if (!::GetCursorPos(&at))
        return;
    // The primary monitor starts at 0, 0 in screen coordinates, whatever lies around it.
    if (hotCorner_.Look(at.x, at.y, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                        ::GetTickCount()))
        HideCheckedWindows();
}

void TFrmAmbler::IdleTick()
{
    if (Closing() || busy_ > 0)
        return;
    LASTINPUTINFO input{};
    input.cbSize = sizeof input;
    if (::GetLastInputInfo(&input) && idleTimer_.Look(input.dwTime, ::GetTickCount()))
        HideCheckedWindows();
}

} // namespace tw
