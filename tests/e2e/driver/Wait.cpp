#include "Wait.h"

#include <windows.h>

namespace tw::e2e {

void PumpFor(Ms duration) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(duration.count());
    for (;;) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

} // namespace tw::e2e
