// Other programs' top-level windows for a test to work on, made on request by the
// target-windows helper (tests/win32/helpers/target_windows.cpp) in a process of its own.
#pragma once

#include "Process.h"
#include "TargetProtocol.h"
#include "Wait.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::e2e {

class TargetWindows {
public:
    // Starts the helper (pass HelperExe(L"target_windows")). Records a failure and returns
    // false when it does not come up.
    bool Start(const std::wstring& helperExe);
    // Asks it to quit; its windows go with it.
    void Stop() { helper_.Stop(); }
    DWORD Id() const { return helper_.Id(); }

    // A new top-level window with this title (empty: untitled); nullptr, with a recorded
    // failure, when the helper cannot make it.
    HWND Create(std::wstring_view title, target::Command how = target::kCreateShown);

    // Closes `window` as its user would (WM_CLOSE; the helper's windows then destroy
    // themselves) and waits until the handle is dead.
    static bool Destroy(HWND window, Ms timeout = kShortWait);

    // Waits until the Z order of the top-level windows has stayed the same for a moment.
    // Under Wine a new window's process restacks it again when it gets round to its X events,
    // and a walk down the Z order that meets such a move can skip a window (on Windows as
    // well, for any window that moves meanwhile); a test that counts on one walk seeing every
    // window waits for the order to be still first.
    static bool SettleZOrder(Ms still = Ms(150), Ms timeout = kShortWait);

private:
    Helper helper_;
    HWND control_ = nullptr;
};

} // namespace tw::e2e
