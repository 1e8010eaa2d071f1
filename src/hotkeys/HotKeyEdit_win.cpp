#include "hotkeys/HotKeyEdit_win.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Handles.h"
#include "platform/ui/Text.h"
#include "platform/ui/Window.h"

#include <imm.h>

#include <exception>

namespace tw::ui {

namespace {

constexpr UINT_PTR kSubclassId = 0x484B;   // "HK"

class Win32HotKeyEdit final : public HotKeyEdit {
public:
    explicit Win32HotKeyEdit(HWND edit) : edit_(edit) {}
    ~Win32HotKeyEdit() override
    {
        // The edit may outlive the box; it gets its input method back.
        if (::IsWindow(edit_) && ::GetFocus() == edit_)
            AttachInputMethod(edit_, true);
    }
    Win32HotKeyEdit(const Win32HotKeyEdit&) = delete;
    Win32HotKeyEdit& operator=(const Win32HotKeyEdit&) = delete;

    void Bind(THotKeyBox* box)
    {
        box_ = box;
        subclass_ = std::make_unique<Subclass>(edit_, &Win32HotKeyEdit::Proc, kSubclassId,
                                               reinterpret_cast<DWORD_PTR>(this));
        if (::GetFocus() == edit_)
            AttachInputMethod(edit_, false);
    }

    std::string GetText() const override { return ToAnsi(ui::GetText(edit_)); }
    void SetText(const std::string& text) override { ui::SetText(edit_, FromAnsi(text)); }
    bool IsVisible() const override { return (::GetWindowLongPtrW(edit_, GWL_STYLE) & WS_VISIBLE) != 0; }

    void ReportInUse() override
    {
        // Hot keys keep arriving while the message box runs its loop; one box is enough.
        if (reporting_)
            return;
        reporting_ = true;
        ShowMessage(::GetAncestor(edit_, GA_ROOT), L"当前快捷键已使用！");
        reporting_ = false;
        // The box took the focus; the user goes on typing where they were.
        if (IsVisible() && ::IsWindowVisible(edit_))
            ::SetFocus(edit_);
    }

    bool Reporting() const { return reporting_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
    {
        auto* self = reinterpret_cast<Win32HotKeyEdit*>(data);
        switch (msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // TranslateMessage has already queued this key's character. Taken out here, an
            // Alt combination can neither fire a mnemonic of the dialog around the edit
            // (Alt+O is "确定(&O)") nor beep for a menu the window does not have.
            DropQueuedCharacters(hwnd);
            self->Run([&] { self->box_->KeyDown(static_cast<std::uint16_t>(wParam)); });
            return 0;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            // Passed on, the release of Alt would put the window into menu mode.
            self->Run([&] { self->box_->KeyUp(static_cast<std::uint16_t>(wParam)); });
            return 0;
        case WM_SETFOCUS:
            // An input method composing (Chinese mode, say) would turn Shift+letter into
            // VK_PROCESSKEY; without it every combination arrives as its keys, as in the
            // system's hot-key control. The rest of the window keeps its input method.
            AttachInputMethod(hwnd, false);
            break;
        case WM_KILLFOCUS:
            AttachInputMethod(hwnd, true);
            self->Run([&] { self->box_->FocusLost(); });
            break;
        case WM_CHAR:
        case WM_SYSCHAR:
        case WM_DEADCHAR:
        case WM_SYSDEADCHAR:
        case WM_IME_CHAR:
        // Only the box writes the text: no pasting, cutting or undoing behind its back.
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
        case EM_UNDO:
        case WM_CONTEXTMENU:
            return 0;
        }
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    }

    // The window's own input context when it is attached, none when not.
    static void AttachInputMethod(HWND hwnd, bool attach)
    {
        ::ImmAssociateContextEx(hwnd, nullptr, attach ? IACE_DEFAULT : 0);
    }

    static void DropQueuedCharacters(HWND hwnd)
    {
        MSG queued{};
        while (::PeekMessageW(&queued, hwnd, WM_CHAR, WM_DEADCHAR, PM_REMOVE | PM_NOYIELD)) {
        }
        while (::PeekMessageW(&queued, hwnd, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE | PM_NOYIELD)) {
        }
    }

    // The owner's handlers write the settings file, which can fail: the user is told in
    // the standard error box, and the error goes no further than this edit.
    template <typename F>
    void Run(F&& action)
    {
        try {
            action();
        } catch (const std::exception& e) {
            ShowErrorBox(::GetAncestor(edit_, GA_ROOT), FromAnsi(e.what()).c_str());
        } catch (...) {
            ShowErrorBox(::GetAncestor(edit_, GA_ROOT), L"Unexpected error");
        }
    }

    HWND edit_;
    THotKeyBox* box_ = nullptr;
    bool reporting_ = false;
    std::unique_ptr<Subclass> subclass_;
};

} // namespace

std::unique_ptr<THotKeyBox> AttachHotKeyBox(HWND edit)
{
    auto adapter = std::make_unique<Win32HotKeyEdit>(edit);
    Win32HotKeyEdit& bound = *adapter;
    auto box = std::make_unique<THotKeyBox>(std::move(adapter));
    bound.Bind(box.get());
    return box;
}

bool IsReportingInUse(THotKeyBox& box)
{
    auto* edit = dynamic_cast<Win32HotKeyEdit*>(&box.Edit());
    return edit && edit->Reporting();
}

} // namespace tw::ui
