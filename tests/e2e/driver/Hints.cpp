#include "Hints.h"

#include "Controls.h"
#include "Input.h"

#include <commctrl.h>

namespace tw::e2e {
namespace {

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

HWND VisibleTip(DWORD pid)
{
    const auto tips = TopLevelWindows(pid, TOOLTIPS_CLASSW, true);
    return tips.empty() ? nullptr : tips.front();
}

} // namespace

std::wstring HoverHint(HWND control, POINT away, Ms timeout)
{
    const DWORD pid = ProcessOf(control);
    if (!MoveMouse(away) || !WaitUntil([&] { return VisibleTip(pid) == nullptr; }, timeout))
        return {};
    const POINT centre = Center(control);
    if (!MoveMouse(centre))
        return {};
    std::wstring text;
    WaitUntil(
        [&] {
            if (HWND tip = VisibleTip(pid))
                text = Text(tip);
            return !text.empty();
        },
        timeout);
    return text;
}

} // namespace tw::e2e
