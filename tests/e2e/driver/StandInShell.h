// The test's side of the stand-in shell (helpers/stand_in_shell.cpp): starts it, learns its
// windows, and adds, removes and inspects the toolbar buttons that play the tray icons.
// Shared by the tray tests, the tray benchmark and the screenshot driver.
#pragma once

#include "Paths.h"
#include "Process.h"
#include "Remote.h"
#include "Wait.h"
#include "ShellProtocol.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <optional>
#include <string>
#include <string_view>

namespace tw::e2e {

class StandInShell {
public:
#ifdef TW_HELPERS_DIR
    // TW_STAND_IN_SHELL names another build of the helper: "stand_in_shell64", the 64-bit
    // shell of 64-bit Windows, for the run in the bed's 64-bit prefix.
    bool Start() {
        wchar_t name[64] = L"stand_in_shell";
        GetEnvironmentVariableW(L"TW_STAND_IN_SHELL", name, 64);
        if (!Start(HelperExe(name))) {
            return false;
        }
        if (std::wstring_view(name).ends_with(L"64") && !Is64Bit()) {
            ADD_FAILURE() << "the stand-in shell asked for is not a 64-bit process beside this 32-bit one";
            return false;
        }
        return true;
    }
#endif
    bool Start(const std::wstring& exe) {
        if (!helper_.Start(exe)) {
            return false;
        }
        for (HWND* window : {&taskbar, &notify, &pager, &toolbar, &progman}) {
            const std::optional<std::string> line = helper_.ReadLine();
            if (!line || line->find(' ') == std::string::npos) {
                ADD_FAILURE() << "the stand-in shell did not name its windows";
                return false;
            }
            *window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(line->substr(line->find(' ') + 1))));
        }
        return true;
    }
    void Stop() { helper_.Stop(); }
    // Seen from this 32-bit process: we run under WOW64 and the shell does not.
    bool Is64Bit() {
        BOOL shellWow = TRUE, ourWow = FALSE;
        return IsWow64Process(helper_.Proc().Handle(), &shellWow) && IsWow64Process(GetCurrentProcess(), &ourWow) &&
               ourWow && !shellWow;
    }
#ifdef TW_HELPERS_DIR
    // The shell ends and a new one starts, with windows of its own.
    bool Restart() {
        Stop();
        helper_ = Helper();   // a process is started once
        overflow = nullptr;
        return Start();
    }
#endif
    bool Announce() { return shell::SendCommand(taskbar, shell::kAnnounce, {}); }

    // `owner`: the window of the program whose icon it is; the shell's own by default.
    bool Add(int id, const std::wstring& text, const std::wstring& flags = {}, HWND owner = nullptr) {
        const bool added = shell::AddButton(taskbar, id, text, flags, owner);
        if (added && flags.find(L'o') != std::wstring::npos) {
            overflow = FindWindowExW(FindWindowW(L"NotifyIconOverflowWindow", nullptr), nullptr, TOOLBARCLASSNAMEW,
                                     nullptr);
        }
        return added;
    }
    bool Delete(int id) { return shell::DeleteButton(taskbar, id); }
    // Requests any program sent to show a button while it was hidden, since the shell started.
    int ShownWhileHidden() const { return shell::ShownWhileHidden(taskbar); }
    bool AddSecondaryTaskbar() { return shell::SendCommand(taskbar, shell::kAddSecondaryTaskbar, {}); }
    bool ShowTaskbars() { return shell::SendCommand(taskbar, shell::kShowTaskbars, {}); }
    // "10" or "24H2" (ShellProtocol.h).
    bool DesktopLayout(std::wstring_view layout) { return shell::SendCommand(taskbar, shell::kDesktopLayout, layout); }
    bool Hang(const std::wstring& wakeEvent) { return shell::SendCommand(taskbar, shell::kHang, wakeEvent); }
    bool DestroyTray() {
        return shell::SendCommand(taskbar, shell::kDestroyTray, {}) && WaitUntil([&] { return !IsWindow(taskbar); });
    }

    // TB_ISBUTTONHIDDEN and TB_HIDEBUTTON carry no pointer, so the test can send them itself.
    bool Hidden(int id, HWND on = nullptr) const {
        return SendTimed(on ? on : toolbar, TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id)) != 0;
    }
    void SetHidden(int id, bool hidden) const {
        SendTimed(toolbar, TB_HIDEBUTTON, static_cast<WPARAM>(id), hidden ? TRUE : FALSE);
    }
    bool WaitHidden(int id, bool hidden, HWND on = nullptr) const {
        return WaitUntil([&] { return Hidden(id, on) == hidden; });
    }

    HWND taskbar = nullptr;
    HWND notify = nullptr;
    HWND pager = nullptr;
    HWND toolbar = nullptr;
    HWND progman = nullptr;
    HWND overflow = nullptr;   // the flyout's toolbar, once a button was added there

private:
    Helper helper_;
};

} // namespace tw::e2e
