// Finding windows and controls of another process and reading what a user sees in them.
#pragma once

#include "Wait.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tw::e2e {

std::wstring ClassName(HWND window);

// The text a user sees: WM_GETTEXT, which the system carries across processes (a plain
// GetWindowText of another process's control would not ask the control). Empty when the
// window is gone or hung for 5 s.
std::wstring Text(HWND window);
// The text a message box shows (its static control has the id 0xFFFF).
inline std::wstring MessageText(HWND box) { return Text(GetDlgItem(box, 0xFFFF)); }

inline bool IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }
inline bool IsMinimized(HWND window) { return IsIconic(window) != FALSE; }
inline bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }
// The control with the keyboard focus in the thread that owns `window`; nullptr if none.
HWND FocusOf(HWND window);
// Screen coordinates.
RECT ScreenRect(HWND window);
POINT Center(const RECT& rect);
inline POINT Center(HWND window) { return Center(ScreenRect(window)); }

// Top-level windows of process `pid`, in Z order (topmost first); `cls` empty for any class.
std::vector<HWND> TopLevelWindows(DWORD pid, std::wstring_view cls = {}, bool visibleOnly = true);
// The first visible top-level window of `pid` with that class (and title, if not empty),
// waiting up to `timeout`; nullptr if none. "#32770" is the class of dialogs and message boxes.
HWND WaitForTopLevel(DWORD pid, std::wstring_view cls, std::wstring_view title = {}, Ms timeout = kShortWait);

// A control anywhere below `parent` (not only direct children: controls sit on panels) with
// this control id; nullptr if none.
HWND ControlById(HWND parent, int id);

// Tooltips: every tool of every tooltip window of process `pid`, and the text of the tool
// registered for one control (TTF_IDISHWND or tool window == control). Tools whose text the
// program supplies on demand (LPSTR_TEXTCALLBACK) cannot be read from outside; they read
// as "<callback>".
struct ToolTip {
    HWND tooltipWindow = nullptr;
    HWND toolWindow = nullptr;
    UINT_PTR id = 0;
    UINT flags = 0;
    std::wstring text;
};
std::vector<ToolTip> ToolTips(DWORD pid);
// What a click at `screen` would hit, for failure messages: the window there and its
// ancestors, each with class, text and process id.
std::string DescribeWindowAt(POINT screen);
// The input state of `window`'s thread, for failure messages: foreground, active, focus and
// capture windows, menu or move-size mode, and where the pointer is.
std::string DescribeInputState(HWND window);
// True when `window`'s thread answers a message within a second (it is not busy or hung).
bool Answers(HWND window);
std::wstring ToolTipOf(HWND control);

} // namespace tw::e2e
