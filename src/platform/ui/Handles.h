// Owners for what our forms and the Win32 side hold and must free (GDI objects, menus,
// icons, kernel handles, COM interfaces, subclasses), so that no teardown list is written by
// hand: each goes with its owner, in the reverse order of declaration. The window itself is
// not among them: ui::Window destroys it (DestroyHwnd), since it must first be detached from
// the object its messages reach. A state set on a control for a while (RedrawPause, in
// Controls.h) is put back by its own guard, which frees nothing.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "platform/Platform.h"

namespace tw::ui {

// Window handles as the portable interfaces carry them.
inline Hwnd AsHwnd(HWND h) { return reinterpret_cast<Hwnd>(h); }
inline HWND AsHWND(Hwnd h) { return reinterpret_cast<HWND>(h); }

// A handle released by `Free` when its owner goes; move-only.
template <typename H, BOOL(WINAPI* Free)(H)>
class Unique {
public:
    Unique() = default;
    explicit Unique(H h) : h_(h) {}
    ~Unique() { Reset(); }
    Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    Unique& operator=(Unique&& o) noexcept
    {
        if (this != &o) {
            Reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    H Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    // For a call that hands its result back through a pointer: what was held goes first.
    H* Out()
    {
        Reset();
        return &h_;
    }
    void Reset(H h = nullptr)
    {
        if (h_)
            Free(h_);
        h_ = h;
    }

private:
    H h_ = nullptr;
};

inline BOOL WINAPI FreeFont(HFONT h) { return ::DeleteObject(h); }
inline BOOL WINAPI FreeBrush(HBRUSH h) { return ::DeleteObject(h); }
inline BOOL WINAPI FreeBitmap(HBITMAP h) { return ::DeleteObject(h); }
inline BOOL WINAPI FreeMenu(HMENU h) { return ::DestroyMenu(h); }
inline BOOL WINAPI FreeIcon(HICON h) { return ::DestroyIcon(h); }
inline BOOL WINAPI FreeKernel(HANDLE h) { return ::CloseHandle(h); }

using UniqueFont = Unique<HFONT, &FreeFont>;
using UniqueBrush = Unique<HBRUSH, &FreeBrush>;
using UniqueBitmap = Unique<HBITMAP, &FreeBitmap>;
using UniqueMenu = Unique<HMENU, &FreeMenu>;
using UniqueIcon = Unique<HICON, &FreeIcon>;
using UniqueHandle = Unique<HANDLE, &FreeKernel>;

template <class T>
BOOL WINAPI ReleaseCom(T* p)
{
    p->Release();
    return TRUE;
}

// A COM interface pointer, released when it goes.
template <class T>
class Com : public Unique<T*, &ReleaseCom<T>> {
public:
    T* operator->() const { return this->Get(); }
    // For QueryInterface and the calls like it, which take the pointer as void**.
    void** OutVoid() { return reinterpret_cast<void**>(this->Out()); }
};

// A window's device context, released to the window when its owner goes.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDc()
    {
        if (dc_)
            ::ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// An object selected into a device context for a while; what was there before goes back
// when its owner goes, so a context borrowed from a control is handed back as it came.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
    ~SelectedObject()
    {
        if (old_)
            ::SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A window subclass (comctl32's SetWindowSubclass) removed when its owner goes.
class Subclass {
public:
    Subclass() = default;
    Subclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) : hwnd_(hwnd), proc_(proc), id_(id)
    {
        ::SetWindowSubclass(hwnd, proc, id, data);
    }
    ~Subclass()
    {
        if (hwnd_ && ::IsWindow(hwnd_))
            ::RemoveWindowSubclass(hwnd_, proc_, id_);
    }
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;

private:
    HWND hwnd_ = nullptr;
    SUBCLASSPROC proc_ = nullptr;
    UINT_PTR id_ = 0;
};

} // namespace tw::ui
