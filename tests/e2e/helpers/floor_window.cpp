// The least a Win32 program does to put one window on the screen: register a class, create
// the window, show it, run the message loop. Benchmarks measure Tarnwick.exe against it.
//
//   floor_window [--load-dlls]   the option first loads the system DLL Tarnwick.exe imports
//                                beyond these (the common controls), to tell its loading
//                                apart from the program's own start-up work
//
// Sent kWalkMessage (WM_APP), it does the least a window list's refresh can do: visits every
// top-level window and reads its title, and answers how many had one. A benchmark times that
// from its own process exactly as it times Tarnwick's refresh button, so that both walks run
// in a GUI program of their own and are timed to the same end.
#include <windows.h>

#include <cwchar>
#include <initializer_list>

namespace {

constexpr UINT kWalkMessage = WM_APP;

LRESULT Walk(HWND window)
{
    char title[255];
    LRESULT titled = 0;
    for (HWND w = GetWindow(window, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
        titled += GetWindowTextA(w, title, sizeof title) > 0;
    return titled;
}

LRESULT CALLBACK FloorProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kWalkMessage)
        return Walk(window);
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    if (std::wcsstr(commandLine, L"--load-dlls")) {
        for (const wchar_t* dll : {L"comctl32.dll"})
            LoadLibraryW(dll);
    }
    WNDCLASSW cls{};
    cls.lpfnWndProc = FloorProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = L"TwFloor";
    RegisterClassW(&cls);
    // The same outer size as Tarnwick's tool window, in the same place.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"TwFloor", L"Floor", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                  397, 194, 229, 380, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
