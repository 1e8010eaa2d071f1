// A stand-in for the Windows shell, for the tray tests: a visible taskbar "Shell_TrayWnd" at
// the bottom of the screen holding "TrayNotifyWnd" > "SysPager" > a real toolbar
// ("ToolbarWindow32") whose buttons play the tray icons, and a desktop window "Progman"
// (bare, as an older or replaced shell has it, until a test asks for a newer layout).
// The test adds and removes buttons, makes it hang, or takes the taskbar away through the
// commands of ShellProtocol.h.
//
// Wine keeps a hidden, childless "Shell_TrayWnd" of its own in its explorer process. Ours is
// created later and so stands above it in the Z order, where FindWindow looks first.
#include "HelperSide.h"
#include "ShellProtocol.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tw::e2e;

constexpr UINT kHangMessage = WM_APP + 1;

HWND g_taskbar = nullptr;
HWND g_toolbar = nullptr;
HWND g_overflow = nullptr;   // the flyout's toolbar, once a button asked for it
HWND g_progman = nullptr;
HWND g_iconView = nullptr;   // "SHELLDLL_DefView", once a layout asked for it
std::vector<HWND> g_secondaryTaskbars;
std::wstring g_hangEvent;
// Requests to show a button while it is hidden, by any program; the test asks how many.
int g_shownWhileHidden = 0;

std::vector<std::wstring> Split(std::wstring_view text, wchar_t sep, size_t parts) {
    std::vector<std::wstring> out;
    while (out.size() + 1 < parts) {
        const size_t at = text.find(sep);
        if (at == std::wstring_view::npos) {
            break;
        }
        out.emplace_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    out.emplace_back(text);
    return out;
}

LRESULT CALLBACK WatchShows(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == TB_HIDEBUTTON && !LOWORD(lParam) && DefSubclassProc(hwnd, TB_ISBUTTONHIDDEN, wParam, 0)) {
        ++g_shownWhileHidden;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

HWND Toolbar(HWND parent, int width) {
    HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                   WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE |
                                       CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                   0, 0, width, 28, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (toolbar) {
        SetWindowSubclass(toolbar, &WatchShows, 1, 0);
    }
    return toolbar;
}

// The flyout stays hidden, as the real one is until the user opens it.
HWND OverflowToolbar() {
    if (!g_overflow) {
        HWND flyout = CreateWindowExW(WS_EX_TOOLWINDOW, L"NotifyIconOverflowWindow", nullptr, WS_POPUP, 0, 0, 200,
                                      120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        g_overflow = flyout ? Toolbar(flyout, 200) : nullptr;
        if (g_overflow) {
            SendMessageW(g_overflow, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        }
    }
    return g_overflow;
}

// The shell's own record for an icon, which a button's dwData points at; its first field is
// the window that added the icon, as the real shell keeps it. Never freed: a deleted
// button's record may still be read by a reading under way, and the helper lives briefly.
struct IconRecord {
    HWND owner;
    UINT id;
};
std::vector<std::unique_ptr<IconRecord>> g_records;

bool AddButton(std::wstring_view payload) {
    const std::vector<std::wstring> parts = Split(payload, L'\t', 4);
    if (parts.size() != 4) {
        return false;
    }
    HWND owner = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(parts[2])));
    g_records.push_back(std::make_unique<IconRecord>(IconRecord{owner ? owner : g_taskbar, 0}));
    HWND toolbar = parts[1].find(L'o') != std::wstring::npos ? OverflowToolbar() : g_toolbar;
    if (!toolbar) {
        return false;
    }
    TBBUTTON button{};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = std::stoi(parts[0]);
    g_records.back()->id = static_cast<UINT>(button.idCommand);
    button.dwData = reinterpret_cast<DWORD_PTR>(g_records.back().get());
    button.fsState = TBSTATE_ENABLED;
    if (parts[1].find(L'h') != std::wstring::npos) {
        button.fsState |= TBSTATE_HIDDEN;
    }
    button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    // The toolbar copies a string passed by pointer; -1 is "no text".
    button.iString = parts[1].find(L'n') != std::wstring::npos ? -1 : reinterpret_cast<INT_PTR>(parts[3].c_str());
    const LRESULT count = SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
    if (!SendMessageW(toolbar, TB_INSERTBUTTONW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&button))) {
        return false;
    }
    SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
    return true;
}

bool DeleteButton(std::wstring_view payload) {
    const int id = std::stoi(std::wstring(payload));
    const LRESULT index = SendMessageW(g_toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(id), 0);
    return index >= 0 && SendMessageW(g_toolbar, TB_DELETEBUTTON, static_cast<WPARAM>(index), 0);
}

// Each along the top of the screen, below the last; there is no second monitor to put it on.
bool AddSecondaryTaskbar() {
    static int made = 0;
    const HWND bar = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Shell_SecondaryTrayWnd", nullptr,
                                     WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 40 + 30 * made, 300, 26, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    made += bar ? 1 : 0;
    if (bar) {
        g_secondaryTaskbars.push_back(bar);
    }
    return bar != nullptr;
}

// Shown by the shell's own thread, whatever another program asked before.
bool ShowTaskbars() {
    std::vector<HWND> bars = g_secondaryTaskbars;
    bars.push_back(g_taskbar);
    bool shown = true;
    for (HWND bar : bars) {
        ShowWindow(bar, SW_HIDE);
        ShowWindow(bar, SW_SHOWNA);
        shown = shown && IsWindowVisible(bar);
    }
    return shown;
}

std::vector<HWND> g_workers;   // the current layout's "WorkerW" windows

HWND Worker(HWND parent, int x, int y) {
    HWND w = CreateWindowExW(parent ? 0 : WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"WorkerW", nullptr,
                             (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE | WS_BORDER, x, y, 150, 60, parent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (w) {
        g_workers.push_back(w);
    }
    return w;
}

bool SetDesktopLayout(std::wstring_view layout) {
    if (!g_iconView) {
        g_iconView = CreateWindowExW(0, L"SHELLDLL_DefView", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 70, 50,
                                     g_progman, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!g_iconView || !CreateWindowExW(0, WC_LISTVIEWW, L"FolderView", WS_CHILD | WS_VISIBLE | LVS_ICON, 0, 0,
                                            70, 50, g_iconView, nullptr, GetModuleHandleW(nullptr), nullptr)) {
            return false;
        }
    }
    const int right = GetSystemMetrics(SM_CXSCREEN) - 160;
    // A new layout replaces the last one.
    SetParent(g_iconView, g_progman);
    for (HWND w : g_workers) {
        DestroyWindow(w);
    }
    g_workers.clear();
    if (layout == L"10") {
        HWND icons = Worker(nullptr, right, 70);
        return icons && Worker(nullptr, right, 140) && SetParent(g_iconView, icons);
    }
    return layout == L"24H2" && Worker(g_progman, 75, 0);
}

LRESULT OnCommand(const COPYDATASTRUCT& data) {
    const std::wstring_view payload(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
    try {
        switch (data.dwData) {
        case shell::kAddButton:
            return AddButton(payload) ? 1 : 0;
        case shell::kDeleteButton:
            return DeleteButton(payload) ? 1 : 0;
        case shell::kDestroyTray:
            // After the reply: the sender is still waiting on this window.
            PostMessageW(g_taskbar, WM_CLOSE, 0, 0);
            return 1;
        case shell::kHang:
            g_hangEvent.assign(payload);
            PostMessageW(g_taskbar, kHangMessage, 0, 0);
            return 1;
        case shell::kAddSecondaryTaskbar:
            return AddSecondaryTaskbar() ? 1 : 0;
        case shell::kShowTaskbars:
            return ShowTaskbars() ? 1 : 0;
        case shell::kDesktopLayout:
            return SetDesktopLayout(payload) ? 1 : 0;
        case shell::kClear:
            while (SendMessageW(g_toolbar, TB_BUTTONCOUNT, 0, 0) > 0) {
                SendMessageW(g_toolbar, TB_DELETEBUTTON, 0, 0);
            }
            return 1;
        case shell::kAnnounce:
            return PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0) ? 1 : 0;
        case shell::kShownWhileHidden:
            return g_shownWhileHidden;
        }
    } catch (...) {
    }
    return 0;
}

LRESULT CALLBACK ShellProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == g_taskbar) {
        switch (msg) {
        case WM_COPYDATA:
            return OnCommand(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case kHangMessage:
            // A shell that stops reading its messages, as a hung explorer does; it comes back
            // when the test sets the event (or after a minute, so it cannot outlive a test).
            // A message sent to it meanwhile is left unread, but told to the test through
            // the event "<name>.asked", if the test made one: then a program is waiting on us.
            if (HANDLE wake = OpenEventW(SYNCHRONIZE, FALSE, g_hangEvent.c_str())) {
                HANDLE asked = OpenEventW(EVENT_MODIFY_STATE, FALSE, (g_hangEvent + L".asked").c_str());
                const ULONGLONG until = GetTickCount64() + 60000;
                for (ULONGLONG now; (now = GetTickCount64()) < until;) {
                    const DWORD woke = MsgWaitForMultipleObjects(1, &wake, FALSE, static_cast<DWORD>(until - now),
                                                                 QS_SENDMESSAGE);
                    if (woke != WAIT_OBJECT_0 + 1) {
                        break;
                    }
                    // Asking clears the "new" mark, so the next wait sleeps again.
                    if ((GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE) && asked) {
                        SetEvent(asked);
                    }
                }
                if (asked) {
                    CloseHandle(asked);
                }
                CloseHandle(wake);
            }
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Register(const wchar_t* cls) {
    helper::RegisterPlainClass(cls, &ShellProc);
}

void SayWindow(const char* name, HWND window) {
    helper::Say(std::string(name) + " " + std::to_string(reinterpret_cast<UINT_PTR>(window)));
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    for (const wchar_t* cls : {L"Shell_TrayWnd", L"TrayNotifyWnd", L"SysPager", L"Progman", L"Shell_SecondaryTrayWnd",
                               L"NotifyIconOverflowWindow", L"WorkerW", L"SHELLDLL_DefView"}) {
        Register(cls);
    }

    // Out of the way of the program's window, which opens in the middle of the screen.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    HWND progman = g_progman = CreateWindowExW(exStyle, L"Progman", L"Program Manager", WS_POPUP | WS_VISIBLE | WS_BORDER,
                                   screenWidth - 160, 0, 160, 60, nullptr, nullptr, instance, nullptr);
    g_taskbar = CreateWindowExW(exStyle, L"Shell_TrayWnd", nullptr, WS_POPUP | WS_VISIBLE | WS_BORDER, 0,
                                screenHeight - 34, screenWidth, 34, nullptr, nullptr, instance, nullptr);
    HWND notify = CreateWindowExW(0, L"TrayNotifyWnd", nullptr, WS_CHILD | WS_VISIBLE, screenWidth / 2, 2,
                                  screenWidth / 2 - 4, 28, g_taskbar, nullptr, instance, nullptr);
    HWND pager = CreateWindowExW(0, L"SysPager", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, screenWidth / 2 - 4, 28,
                                 notify, nullptr, instance, nullptr);
    g_toolbar = Toolbar(pager, screenWidth / 2 - 4);
    if (!progman || !g_taskbar || !notify || !pager || !g_toolbar) {
        return 1;
    }
    SendMessageW(g_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    SayWindow("taskbar", g_taskbar);
    SayWindow("notify", notify);
    SayWindow("pager", pager);
    SayWindow("toolbar", g_toolbar);
    SayWindow("progman", progman);
    helper::SignalReady();
    return helper::RunUntilQuit();
}
