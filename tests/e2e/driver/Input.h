// Real user input: SendInput, as the keyboard and mouse would give it, to whatever window is
// under the pointer or has the focus. Input is asynchronous: wait for its effect with
// WaitUntil, never with a sleep.
#pragma once

#include <windows.h>

#include <string_view>

namespace tw::e2e {

// Modifier keys held around a key press; combine with |.
enum Modifiers : unsigned { kNoModifiers = 0, kShift = 1, kCtrl = 2, kAlt = 4, kWin = 8 };
constexpr Modifiers operator|(Modifiers a, Modifiers b) { return static_cast<Modifiers>(unsigned(a) | unsigned(b)); }

// Makes the top-level window of `window` the foreground window, restoring it first if it is
// minimized; true once it is.
bool BringToForeground(HWND window);

// Moves the pointer to a screen point; true once the system reports it there.
bool MoveMouse(POINT screen);
// Button presses at a screen point. The pointer moves there first, and the press waits until
// no tooltip covers the point and, when `target` is given, the point shows `target`'s own
// top-level window; when that does not come, it records a failure saying what is there.
bool Click(POINT screen, HWND target = nullptr);
bool RightClick(POINT screen, HWND target = nullptr);
// A left click in the middle of a window or control.
bool ClickWindow(HWND window);
// Moves the pointer to the screen's top-left corner, away from any window a test opens, so
// that a new window does not open under a resting pointer and show a tooltip there.
bool ParkPointer();

// One key with modifiers: modifiers down, key down, key up, modifiers up (Alt+X is
// Alt down, X down, X up, Alt up). With `downs` above 1 the key is held: its auto-repeats
// are further key-downs before the one key-up.
void PressKey(WORD virtualKey, Modifiers modifiers = kNoModifiers, int downs = 1);
// Text typed as Unicode characters (VK_PACKET), so it arrives the same under any code page.
void TypeText(std::wstring_view text);

} // namespace tw::e2e
