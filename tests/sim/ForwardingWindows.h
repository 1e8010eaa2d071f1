// A WindowApi that passes every call on to another one (simulated or real): a test derives
// from it and overrides only the calls it counts or records.
#pragma once

#include "platform/Platform.h"

namespace tw::sim {

class ForwardingWindows : public WindowApi {
public:
    explicit ForwardingWindows(WindowApi& inner) : inner_(inner) {}

    Hwnd GetFirstSibling(Hwnd any) override { return inner_.GetFirstSibling(any); }
    Hwnd GetNextSibling(Hwnd w) override { return inner_.GetNextSibling(w); }
    int GetWindowTextW(Hwnd w, char16_t* buf, int n) override { return inner_.GetWindowTextW(w, buf, n); }
    std::string AnsiForm(std::u16string_view wide) override { return inner_.AnsiForm(wide); }
    std::u16string WideForm(std::string_view ansi) override { return inner_.WideForm(ansi); }
    std::optional<std::uint32_t> IntegrityLevel(std::uint32_t pid) override { return inner_.IntegrityLevel(pid); }
    bool IsWindow(Hwnd w) override { return inner_.IsWindow(w); }
    bool IsWindowVisible(Hwnd w) override { return inner_.IsWindowVisible(w); }
    bool IsIconic(Hwnd w) override { return inner_.IsIconic(w); }
    bool IsHungAppWindow(Hwnd w) override { return inner_.IsHungAppWindow(w); }
    std::optional<bool> IsCloaked(Hwnd w) override { return inner_.IsCloaked(w); }
    std::optional<bool> IsOnVirtualDesktop(Hwnd w) override { return inner_.IsOnVirtualDesktop(w); }
    bool ShowWindowAsync(Hwnd w, ShowCmd cmd) override { return inner_.ShowWindowAsync(w, cmd); }
    std::string ClassName(Hwnd w) override { return inner_.ClassName(w); }
    Hwnd FindWindowA(const char* cls) override { return inner_.FindWindowA(cls); }
    Hwnd FindChildWindowA(Hwnd parent, const char* cls) override { return inner_.FindChildWindowA(parent, cls); }
    std::uint32_t GetWindowProcessId(Hwnd w) override { return inner_.GetWindowProcessId(w); }
    Hwnd GetForegroundWindow() override { return inner_.GetForegroundWindow(); }
    Hwnd RootOwner(Hwnd w) override { return inner_.RootOwner(w); }
    bool PlaceBehind(Hwnd w, Hwnd inFront) override { return inner_.PlaceBehind(w, inFront); }
    bool Activate(Hwnd w) override { return inner_.Activate(w); }
    bool SendMessageA(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                      std::intptr_t& result) override
    {
        return inner_.SendMessageA(w, msg, wParam, lParam, result);
    }
    bool SendMessageWithin(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, unsigned timeoutMs,
                           std::intptr_t& result) override
    {
        return inner_.SendMessageWithin(w, msg, wParam, lParam, timeoutMs, result);
    }
    // IsResponding keeps its default, so that it goes through SendMessageA as the system's does.

private:
    WindowApi& inner_;
};

} // namespace tw::sim
