#include "Input.h"

#include "Wait.h"

#include <algorithm>
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

bool PointerAt(POINT screen) {
    POINT now{};
    return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
}

bool ClickWith(POINT screen, DWORD down, DWORD up, int times) {
    if (!MoveMouse(screen)) {
        return false;
    }
    std::vector<INPUT> inputs;
    for (int i = 0; i < times; ++i) {
        inputs.push_back(MouseInput(down));
        inputs.push_back(MouseInput(up));
    }
    Send(inputs);
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
    Send({move});
    return WaitUntil([&] { return PointerAt(screen); }, Ms(2000));
}

bool Click(POINT screen) { return ClickWith(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1); }
bool RightClick(POINT screen) { return ClickWith(screen, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1); }
bool DoubleClick(POINT screen) { return ClickWith(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2); }

bool ClickWindow(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return Click(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

void PressKey(WORD virtualKey, Modifiers modifiers, int downs) {
    static constexpr struct {
        Modifiers flag;
        WORD vk;
    } kModifierKeys[] = {{kCtrl, VK_CONTROL}, {kAlt, VK_MENU}, {kShift, VK_SHIFT}, {kWin, VK_LWIN}};
    std::vector<INPUT> inputs;
    for (const auto& m : kModifierKeys) {
        if (modifiers & m.flag) {
            inputs.push_back(KeyInput(m.vk, true));
        }
    }
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
