// "Other programs" for the window tests: top-level windows made on request, titled or not,
// visible, hidden, minimised, with a child, or owned by a thread that has stopped answering.
// The test asks through WM_COPYDATA to a message-only window (TargetProtocol.h) and does the
// rest itself (ShowWindow, SetWindowText, WM_CLOSE work across processes), as a user or the
// window's own program would.
//
//   target_windows          prints "control <HWND>", then serves requests until told to quit
#include "HelperSide.h"
#include "TargetProtocol.h"

#include <string>

namespace {

namespace target = tw::e2e::target;

int g_created = 0;

// Cascaded along the right edge of the screen, away from the centre where the program under
// test opens, so that no target covers what the test clicks.
RECT NextPlace()
{
    const int n = g_created++;
    const int x = 640 + (n % 8) * 12;
    const int y = 8 + (n % 48) * 12;
    return RECT{x, y, x + 300, y + 110};
}

HWND CreateTarget(const std::wstring& title, DWORD style)
{
    const RECT at = NextPlace();
    return CreateWindowExW(0, target::kTargetClass, title.c_str(), WS_OVERLAPPEDWINDOW | style, at.left, at.top,
                           at.right - at.left, at.bottom - at.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

// A window whose thread creates it, reports it and then blocks for good: to a caller it
// looks exactly like a hung program.
struct HungJob {
    std::wstring title;
    HWND window = nullptr;
    HANDLE created = nullptr;
};

DWORD WINAPI HungThread(void* param)
{
    auto* job = static_cast<HungJob*>(param);
    HWND window = CreateTarget(job->title, 0);
    if (window)
        ShowWindow(window, SW_SHOWNOACTIVATE);
    job->window = window;
    SetEvent(job->created);   // `job` belongs to the caller from here on
    Sleep(INFINITE);
    return 0;
}

HWND CreateHung(const std::wstring& title)
{
    HungJob job{title, nullptr, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = CreateThread(nullptr, 0, HungThread, &job, 0, nullptr);
    if (thread) {
        WaitForSingleObject(job.created, INFINITE);
        CloseHandle(thread);
    }
    CloseHandle(job.created);
    return job.window;
}

// A program that keeps its window to itself (gone to its tray for good): any later showing
// is undone at once, before the call that showed it returns, as its own answer to being
// shown; so whoever looks sees it on screen for an instant at most, however busy the machine.
LRESULT CALLBACK StubbornProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = DefWindowProcW(window, msg, wParam, lParam);
    if (msg == WM_WINDOWPOSCHANGED && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW))
        ShowWindow(window, SW_HIDE);
    return result;
}

HWND Serve(ULONG_PTR command, const std::wstring& title)
{
    HWND window = nullptr;
    switch (command) {
    case target::kCreateShown:
        if ((window = CreateTarget(title, 0)))
            ShowWindow(window, SW_SHOWNOACTIVATE);
        break;
    case target::kCreateHidden:
        window = CreateTarget(title, 0);
        break;
    case target::kCreateMinimized:
        if ((window = CreateTarget(title, 0)))
            ShowWindow(window, SW_SHOWMINNOACTIVE);
        break;
    case target::kCreateWithChild:
        if ((window = CreateTarget(title, 0))) {
            CreateWindowExW(0, L"Button", L"OK", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, window, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
            ShowWindow(window, SW_SHOWNOACTIVATE);
        }
        break;
    case target::kCreateHung:
        window = CreateHung(title);
        break;
    case target::kCreateStubborn:
        if ((window = CreateTarget(title, 0))) {
            ShowWindow(window, SW_SHOWNOACTIVATE);
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StubbornProc));
        }
        break;
    default:
        break;
    }
    return window;
}

LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const std::wstring title(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
        return reinterpret_cast<LRESULT>(Serve(data->dwData, title));
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

// The targets' window procedure is DefWindowProc: WM_CLOSE destroys, what the test relies on.
bool RegisterClasses()
{
    return tw::e2e::helper::RegisterPlainClass(target::kTargetClass, DefWindowProcW, COLOR_WINDOW) &&
           tw::e2e::helper::RegisterPlainClass(L"TwTargetControl", ControlProc);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (!RegisterClasses())
        return 2;
    HWND control = CreateWindowExW(0, L"TwTargetControl", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                                   nullptr);
    if (!control)
        return 3;
    tw::e2e::helper::Say(target::kControlLinePrefix + std::to_string(reinterpret_cast<UINT_PTR>(control)));
    tw::e2e::helper::SignalReady();
    return tw::e2e::helper::RunUntilQuit();
}
