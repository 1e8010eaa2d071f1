#include "platform/ui/Window.h"

#include "platform/ui/Text.h"

#include <string>

namespace tw::ui {

Window::~Window() { DestroyHwnd(); }

void Window::DestroyHwnd()
{
    if (hwnd_) {
        HWND h = hwnd_;
        // Detach first: the messages DestroyWindow sends must not reach a half-destroyed object.
        ::SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        ::DestroyWindow(h);
    }
}

void Window::RegisterWindowClass(const wchar_t* cls, HICON icon, HBRUSH background)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), cls, &wc))
        return;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Window::WndProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = cls;
    ::RegisterClassExW(&wc);
}

HWND Window::CreateHwnd(const wchar_t* cls, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y,
                        int width, int height, HWND parent)
{
    return ::CreateWindowExW(exStyle, cls, title, style, x, y, width, height, parent, nullptr,
                             ::GetModuleHandleW(nullptr), this);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CLOSE && modal_) {
        EndModal(IDCANCEL);
        return 0;
    }
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void Window::ReportUnhandled(const char* what)
{
    ShowErrorBox(hwnd_, FromAnsi(what ? what : "Unexpected error").c_str());
}

LRESULT CALLBACK Window::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wParam, lParam);
    } catch (const std::exception& e) {
        self->ReportUnhandled(e.what());
    } catch (...) {
        self->ReportUnhandled(nullptr);
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

int Window::ShowModal(HWND owner)
{
    // The owner is disabled while we run, as a modal dialog does; it is enabled again
    // before we hide so that Windows gives it the activation back.
    bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
    if (ownerWasEnabled)
        ::EnableWindow(owner, FALSE);
    modal_ = true;
    modalDone_ = false;
    modalResult_ = IDCANCEL;
    ::ShowWindow(hwnd_, SW_SHOW);
    ::UpdateWindow(hwnd_);

    MSG msg{};
    while (!modalDone_ && hwnd_) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));   // leave the quit for the outer loop
            break;
        }
        if (got < 0)
            break;
        if (hwnd_ && ::IsDialogMessageW(hwnd_, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }

    modal_ = false;
    if (ownerWasEnabled)
        ::EnableWindow(owner, TRUE);
    if (hwnd_)
        ::ShowWindow(hwnd_, SW_HIDE);
    if (owner)
        ::SetActiveWindow(owner);
    return modalResult_;
}

void Window::EndModal(int result)
{
    modalResult_ = result;
    modalDone_ = true;
}

void ShowErrorBox(HWND owner, const wchar_t* text)
{
    ::MessageBoxW(owner, text, kAppTitle, MB_OK | MB_ICONERROR);
}

void ShowMessage(HWND owner, const wchar_t* text)
{
    ::MessageBoxW(owner, text, kAppTitle, MB_OK);
}

} // namespace tw::ui
