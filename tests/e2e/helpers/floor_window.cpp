// The least a Win32 program does to put one window on the screen: register a class, create
// the window, show it, run the message loop. Benchmarks measure Tarnwick.exe against it.
//
//   floor_window [--load-dlls]   the option first loads the system DLL Tarnwick.exe imports
//                                beyond these (the common controls), to tell its loading
//                                apart from the program's own start-up work
#include <windows.h>

#include <cwchar>
#include <initializer_list>

namespace {

LRESULT CALLBACK FloorProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
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
