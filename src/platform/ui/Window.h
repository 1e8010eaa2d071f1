// One base window: WM_NCCREATE stores `this`, every later message reaches the member
// HandleMessage, and no exception ever leaves the window procedure.
#pragma once

#include <windows.h>

#include <exception>

namespace tw::ui {

// The application's title: window caption, taskbar button, and the standard error box.
inline constexpr const wchar_t* kAppTitle = L"Tarnwick";

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }

    // Shows the window modally over `owner` and runs a message loop until it is closed
    // (EndModal or the close box). Hot keys and every other thread message keep flowing.
    int ShowModal(HWND owner);
    void EndModal(int result);
    bool InModalLoop() const { return modal_; }

protected:
    // Registers `cls` once per process with our window procedure.
    static void RegisterWindowClass(const wchar_t* cls, HICON icon, HBRUSH background);
    HWND CreateHwnd(const wchar_t* cls, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y, int width,
                    int height, HWND parent);
    // The window and its children go, the object detached from them first; the base's
    // destructor does it, or a derived one whose members the children use while they live.
    void DestroyHwnd();

    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // An error escaped a handler: shown in the standard error box, and the program goes on.
    virtual void ReportUnhandled(const char* what);

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    bool modal_ = false;
    bool modalDone_ = false;
    int modalResult_ = 0;
};

// The application's standard error box: the message under the application title.
void ShowErrorBox(HWND owner, const wchar_t* text);
// A plain message box with one OK button, as the program's short messages are shown.
void ShowMessage(HWND owner, const wchar_t* text);

// Runs `action`, turning any exception into the standard error box.
template <typename F>
void Guarded(HWND owner, F&& action);

} // namespace tw::ui

#include "platform/ui/Window.inl"
