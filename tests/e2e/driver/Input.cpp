#include "Input.h"

#include "Capture.h"
#include "Controls.h"
#include "Paths.h"
#include "Wait.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tw::e2e {
namespace {

// Keys that need the extended flag, or the system takes them for their numeric-pad twins.
bool IsExtendedKey(WORD vk) {
    switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_INSERT: case VK_DELETE: case VK_RCONTROL: case VK_RMENU:
    case VK_LWIN: case VK_RWIN: case VK_APPS: case VK_DIVIDE: case VK_NUMLOCK:
        return true;
    default:
        return false;
    }
}

INPUT KeyInput(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

INPUT MouseInput(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    return in;
}

void Send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Two round trips to the thread of `window`, bounded, so it has read its pending input.
void CatchUp(HWND window) {
    for (int i = 0; window && i < 2; ++i) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
    }
}

bool PointerAt(POINT screen) {
    POINT now{};
    return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
}

// Where the pointer has landed, the click would hit `target`'s own top-level window (when a
// target is given) and no tooltip. A tooltip can sit over the spot: the tip of a button the
// pointer rested on while a new window opened under it, shown late on a busy machine. A user
// waits for it to go; so does the driver, and it says what was in the way when it does not go.
bool ClearToClick(POINT screen, HWND target) {
    HWND at = WindowFromPoint(screen);
    if (!at) {
        return target == nullptr;
    }
    HWND root = GetAncestor(at, GA_ROOT);
    if (ClassName(root) == TOOLTIPS_CLASSW) {
        return false;
    }
    return !target || root == GetAncestor(target, GA_ROOT);
}

bool ClickWith(POINT screen, DWORD down, DWORD up, HWND target) {
    if (!MoveMouse(screen)) {
        ADD_FAILURE() << "the pointer did not reach (" << screen.x << ", " << screen.y << ")";
        return false;
    }
    if (!ClearToClick(screen, target)) {
        // Not a failure yet; said so that a log shows how often something is in the way.
        fprintf(stderr, "driver: waiting before a click at (%ld, %ld) for %s to go\n", screen.x, screen.y,
                DescribeWindowAt(screen).c_str());
    }
    if (!WaitUntil([&] { return ClearToClick(screen, target); })) {
        ADD_FAILURE() << "a click at (" << screen.x << ", " << screen.y << ") would not reach "
                      << (target ? "[" + WideToUtf8(ClassName(target)) + "]" : std::string("the window below"))
                      << "; there: " << DescribeWindowAt(screen) << "; screen: " << FailureScreenshot();
        return false;
    }
    if (!PointerAt(screen) && !MoveMouse(screen)) {
        ADD_FAILURE() << "the pointer left (" << screen.x << ", " << screen.y << ") before the click";
        return false;
    }
    Send({MouseInput(down), MouseInput(up)});
    return true;
}

} // namespace

bool BringToForeground(HWND window) {
    HWND top = GetAncestor(window, GA_ROOT);
    if (!top) {
        return false;
    }
    // A minimized window can be the foreground window all the same; the user wants it back.
    if (IsIconic(top)) {
        ShowWindowAsync(top, SW_RESTORE);
        if (!WaitUntil([&] { return !IsIconic(top); })) {
            return false;
        }
    }
    if (GetForegroundWindow() == top) {
        return true;
    }
    SetForegroundWindow(top);
    if (WaitUntil([&] { return GetForegroundWindow() == top; }, Ms(1000))) {
        return true;
    }
    // Windows hands the foreground only to the process that had the last input: give some.
    Send({KeyInput(VK_SHIFT, true), KeyInput(VK_SHIFT, false)});
    SetForegroundWindow(top);
    return WaitUntil([&] { return GetForegroundWindow() == top; }, Ms(2000));
}

bool MoveMouse(POINT screen) {
    // Absolute coordinates are 0..65535 over the primary screen; the system maps them back
    // with x * width / 65536, so round up to land on the pixel asked for.
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
    move.mi.dx = static_cast<LONG>((static_cast<LONGLONG>(screen.x) * 65536 + width - 1) / width);
    move.mi.dy = static_cast<LONG>((static_cast<LONGLONG>(screen.y) * 65536 + height - 1) / height);

    POINT from{};
    GetCursorPos(&from);
    HWND left = WindowFromPoint(from);
    for (int attempt = 0; attempt < 5; ++attempt) {
        Send({move});
        if (!WaitUntil([&] { return PointerAt(screen); }, Ms(2000))) {
            continue;
        }
        // Under Wine every program turns the X server's pointer events over its own windows
        // into mouse input of its own, and one that reads them late (busy, or on a loaded
        // machine) puts the pointer back where it last saw it: where it rested when a new
        // window opened under it, or where the previous click was. A click sent then lands
        // there. On Windows the pointer stays where SendInput put it. So the programs
        // under the old and the new place read what they have pending (a sent message
        // is answered only between two readings of their input, hence two), and the move
        // is made again if the pointer was taken back.
        CatchUp(left);
        CatchUp(WindowFromPoint(screen));
        if (PointerAt(screen)) {
            return true;
        }
        POINT now{};
        GetCursorPos(&now);
        fprintf(stderr, "driver: the pointer went back to (%ld, %ld) on its way to (%ld, %ld); moving it again\n",
                now.x, now.y, screen.x, screen.y);
    }
    return false;
}

bool Click(POINT screen, HWND target) {
    return ClickWith(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, target);
}
bool RightClick(POINT screen, HWND target) {
    return ClickWith(screen, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, target);
}

bool ClickWindow(HWND window) { return Click(Center(ScreenRect(window)), window); }

bool ParkPointer() { return MoveMouse(POINT{0, 0}); }

void PressKey(WORD virtualKey, Modifiers modifiers, int downs) {
    static constexpr struct {
        Modifiers flag;
        WORD vk;
    } kModifierKeys[] = {{kCtrl, VK_CONTROL}, {kAlt, VK_MENU}, {kShift, VK_SHIFT}, {kWin, VK_LWIN}};
    std::vector<INPUT> modifiersDown;
    for (const auto& m : kModifierKeys) {
        if (modifiers & m.flag) {
            modifiersDown.push_back(KeyInput(m.vk, true));
        }
    }
    // Under Wine a program whose window has just been given the keyboard focus reads the X
    // server's word on which keys are down when it next looks at its input, and lets go of
    // a modifier the X server does not know is held: a Ctrl pressed by SendInput in that
    // moment is released before the Q that follows, and Ctrl+Q arrives as Q. A window shown
    // or restored just before takes the focus so, and may take it only after it shows. On
    // Windows, SendInput alone says which keys are down. So the modifiers go down first, the
    // program with the focus reads what it has pending, and the modifiers are pressed again
    // if they were let go or the focus moved meanwhile; only then comes the key.
    const auto modifiersHeld = [&] {
        for (const INPUT& in : modifiersDown) {
            if (!(GetAsyncKeyState(in.ki.wVk) & 0x8000)) {
                return false;
            }
        }
        return true;
    };
    if (!modifiersDown.empty()) {
        // A window just hidden or shown hands the focus on a moment later: let that happen,
        // and the program that gets it read its input, before a modifier goes down.
        WaitUntil(
            [&] {
                HWND focus = GetForegroundWindow();
                CatchUp(focus);
                return HoldsFor([&] { return GetForegroundWindow() == focus; }, Ms(150));
            },
            Ms(3000));
    }
    for (int attempt = 0; !modifiersDown.empty() && attempt < 5; ++attempt) {
        Send(modifiersDown);
        HWND focus = GetForegroundWindow();
        CatchUp(focus);
        if (GetForegroundWindow() == focus && modifiersHeld()) {
            break;
        }
        fprintf(stderr, "driver: the focus moved or a modifier was let go before a key; pressing again\n");
    }
    std::vector<INPUT> inputs;
    for (int i = 0; i < std::max(downs, 1); ++i) {
        inputs.push_back(KeyInput(virtualKey, true));
    }
    inputs.push_back(KeyInput(virtualKey, false));
    for (auto m = std::rbegin(kModifierKeys); m != std::rend(kModifierKeys); ++m) {
        if (modifiers & m->flag) {
            inputs.push_back(KeyInput(m->vk, false));
        }
    }
    Send(inputs);
}

void TypeText(std::wstring_view text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        for (bool down : {true, false}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | (down ? 0 : KEYEVENTF_KEYUP);
            inputs.push_back(in);
        }
    }
    Send(inputs);
}

} // namespace tw::e2e
