#include "Controls.h"

#include "Paths.h"
#include "Remote.h"

#include <commctrl.h>

namespace tw::e2e {
namespace {

// The enumeration callbacks are stdcall on 32-bit Windows, which a lambda cannot be.
template <class Visit>
BOOL CALLBACK VisitThunk(HWND window, LPARAM param) {
    (*reinterpret_cast<Visit*>(param))(window);
    return TRUE;
}

template <class Visit>
void ForEachChild(HWND parent, Visit visit) {
    EnumChildWindows(parent, VisitThunk<Visit>, reinterpret_cast<LPARAM>(&visit));
}

template <class Visit>
void ForEachTopLevel(Visit visit) {
    EnumWindows(VisitThunk<Visit>, reinterpret_cast<LPARAM>(&visit));
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The tooltip structure as comctl32 6 knows it. A 32-bit test reads a 32-bit program, so
// the layout is the same on both sides.
constexpr size_t kToolTextCount = 1024;
constexpr size_t kToolTextOffset = sizeof(TTTOOLINFOW);

std::wstring ToolText(HWND tooltip, RemoteBuffer& buffer, TTTOOLINFOW& info) {
    const auto* text = info.lpszText;
    if (text == LPSTR_TEXTCALLBACKW) {
        return L"<callback>";
    }
    if (text == buffer.Address(kToolTextOffset)) {
        std::wstring out(kToolTextCount, L'\0');
        buffer.Read(out.data(), kToolTextCount * sizeof(wchar_t), kToolTextOffset);
        out.resize(wcsnlen(out.c_str(), kToolTextCount));
        return out;
    }
    if (text != nullptr && IS_INTRESOURCE(text)) {
        // A string resource of the program: let the tooltip load it into our buffer.
        info.lpszText = static_cast<LPWSTR>(buffer.Address(kToolTextOffset));
        buffer.Write(info);
        SendTimed(tooltip, TTM_GETTEXTW, kToolTextCount, buffer.Param());
        std::wstring out(kToolTextCount, L'\0');
        buffer.Read(out.data(), kToolTextCount * sizeof(wchar_t), kToolTextOffset);
        out.resize(wcsnlen(out.c_str(), kToolTextCount));
        return out;
    }
    return {};
}

} // namespace

std::wstring ClassName(HWND window) {
    wchar_t name[256]{};
    const int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring Text(HWND window) {
    LRESULT length = 0;
    if (!SendTimed(window, WM_GETTEXTLENGTH, 0, 0, length)) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!SendTimed(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied)) {
        return {};
    }
    text.resize(static_cast<size_t>(copied));
    return text;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

RECT ScreenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

POINT Center(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

std::vector<HWND> TopLevelWindows(DWORD pid, std::wstring_view cls, bool visibleOnly) {
    std::vector<HWND> found;
    ForEachTopLevel([&](HWND window) {
        if (ProcessOf(window) == pid && (cls.empty() || ClassName(window) == cls) &&
            (!visibleOnly || IsWindowVisible(window))) {
            found.push_back(window);
        }
    });
    return found;
}

HWND WaitForTopLevel(DWORD pid, std::wstring_view cls, std::wstring_view title, Ms timeout) {
    return WaitFor(
        [&]() -> HWND {
            for (HWND window : TopLevelWindows(pid, cls, true)) {
                if (title.empty() || Text(window) == title) {
                    return window;
                }
            }
            return nullptr;
        },
        timeout);
}

HWND ControlById(HWND parent, int id) {
    HWND found = nullptr;
    ForEachChild(parent, [&](HWND child) {
        if (!found && GetDlgCtrlID(child) == id) {
            found = child;
        }
    });
    return found;
}

std::vector<ToolTip> ToolTips(DWORD pid) {
    std::vector<ToolTip> tools;
    for (HWND tooltip : TopLevelWindows(pid, TOOLTIPS_CLASSW, false)) {
        const LRESULT count = SendTimed(tooltip, TTM_GETTOOLCOUNT);
        RemoteBuffer buffer(tooltip, kToolTextOffset + kToolTextCount * sizeof(wchar_t));
        if (!buffer) {
            break;
        }
        for (LRESULT i = 0; i < count; ++i) {
            TTTOOLINFOW info{};
            info.cbSize = sizeof info;
            info.lpszText = static_cast<LPWSTR>(buffer.Address(kToolTextOffset));
            const wchar_t empty = L'\0';
            buffer.Write(info);
            buffer.Write(&empty, sizeof empty, kToolTextOffset);
            LRESULT ok = 0;
            if (!SendTimed(tooltip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), buffer.Param(), ok) || !ok ||
                !buffer.Read(info)) {
                continue;
            }
            tools.push_back(ToolTip{tooltip, info.hwnd, info.uId, info.uFlags, ToolText(tooltip, buffer, info)});
        }
    }
    return tools;
}

std::string DescribeWindowAt(POINT screen) {
    HWND at = WindowFromPoint(screen);
    if (!at) {
        return "no window";
    }
    std::string out;
    for (HWND w = at; w; w = GetAncestor(w, GA_PARENT)) {
        if (w == GetDesktopWindow()) {
            break;
        }
        if (!out.empty()) {
            out += " in ";
        }
        out += "[" + WideToUtf8(ClassName(w)) + " \"" + WideToUtf8(Text(w)) + "\" pid " +
               std::to_string(ProcessOf(w)) + "]";
    }
    return out;
}

std::string DescribeInputState(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return "no input state (error " + std::to_string(GetLastError()) + ")";
    }
    auto name = [](HWND w) { return w ? "[" + WideToUtf8(ClassName(w)) + "]" : std::string("none"); };
    POINT cursor{};
    GetCursorPos(&cursor);
    return "foreground " + name(GetForegroundWindow()) + ", active " + name(info.hwndActive) + ", focus " +
           name(info.hwndFocus) + ", capture " + name(info.hwndCapture) + ", flags 0x" + std::to_string(info.flags) +
           ", pointer (" + std::to_string(cursor.x) + ", " + std::to_string(cursor.y) + ")";
}

bool Answers(HWND window) {
    LRESULT ignored = 0;
    return SendTimed(window, WM_NULL, 0, 0, ignored, 1000);
}

std::wstring ToolTipOf(HWND control) {
    for (const ToolTip& tool : ToolTips(ProcessOf(control))) {
        const bool idIsWindow = (tool.flags & TTF_IDISHWND) != 0;
        if ((idIsWindow && reinterpret_cast<HWND>(tool.id) == control) || (!idIsWindow && tool.toolWindow == control)) {
            return tool.text;
        }
    }
    return {};
}

} // namespace tw::e2e
