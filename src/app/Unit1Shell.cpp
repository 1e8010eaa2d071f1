// The two check boxes of the top panel: the taskbar and the desktop icons, each hidden and
// shown as a whole. The box is the only record of the state; the shell window is looked up
// afresh on every click, since the shell may have been restarted in between.
#include "app/Unit1.h"

#include "platform/ui/Controls.h"

#include <vector>

namespace tw {

namespace {

struct ShellToggle {
    const char* windowClass;
    const wchar_t* uncheckedCaption;   // what a click on a clear box will do
    const wchar_t* checkedCaption;
    // Windows of this class go and come back with it, every one of them: the taskbars of the
    // other monitors. Null when there are none.
    const char* companionClass;
};

constexpr ShellToggle kDesktopIcons{"Progman", L"隐藏桌面图标", L"显示桌面图标", nullptr};
constexpr ShellToggle kTaskbar{"Shell_TrayWnd", L"隐藏任务栏", L"显示任务栏", "Shell_SecondaryTrayWnd"};

// No desktop has anywhere near this many monitors; a search that keeps finding windows
// (classes being registered and windows made under it) must still end.
constexpr int kMaxCompanions = 64;

std::vector<HWND> ShellWindows(const ShellToggle& toggle)
{
    std::vector<HWND> found;
    if (HWND shell = ::FindWindowA(toggle.windowClass, nullptr))
        found.push_back(shell);
    if (!toggle.companionClass)
        return found;
    HWND after = nullptr;
    for (int i = 0; i < kMaxCompanions; ++i) {
        after = ::FindWindowExA(nullptr, after, toggle.companionClass, nullptr);
        if (!after)
            break;
        found.push_back(after);
    }
    return found;
}

bool IsChecked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Apply(const ShellToggle& toggle, bool hide)
{
    // The shell's window belongs to another thread: a plain ShowWindow waits for that
    // thread, and a hung shell would freeze the program with it.
    for (HWND shell : ShellWindows(toggle))
        ::ShowWindowAsync(shell, hide ? SW_HIDE : SW_RESTORE);
}

void Toggle(HWND owner, HWND box, const ShellToggle& toggle)
{
    try {
        bool checked = IsChecked(box);
        ui::SetText(box, checked ? toggle.checkedCaption : toggle.uncheckedCaption);
        Apply(toggle, checked);
    } catch (...) {
        ui::ShowMessage(owner, L"失败！");
    }
}

} // namespace

void TFrmAmbler::CheckBox1Click() { Toggle(hwnd_, Control(ids::CheckBox1), kDesktopIcons); }

void TFrmAmbler::CheckBox2Click() { Toggle(hwnd_, Control(ids::CheckBox2), kTaskbar); }

void TFrmAmbler::HideShellAgain()
{
    if (IsChecked(Control(ids::CheckBox1)))
        Apply(kDesktopIcons, true);
    if (IsChecked(Control(ids::CheckBox2)))
        Apply(kTaskbar, true);
}

} // namespace tw
