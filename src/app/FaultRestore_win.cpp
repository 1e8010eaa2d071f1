#include "app/FaultRestore_win.h"

namespace tw {

namespace {
// The window's answer to a request it carried out: nothing else sends that value back.
constexpr LRESULT kRestored = 0x54570001;
} // namespace

UINT RestoreAfterFaultMessage()
{
    static const UINT msg = ::RegisterWindowMessageW(L"Tarnwick.RestoreAfterFault");
    return msg;
}

void TFaultRestore::RestoreHere() noexcept
{
    restorer_ = ::GetCurrentThreadId();
    try {
        restore_(context_);
    } catch (...) {
    }
    stage_ = kDone;
}

void TFaultRestore::WaitDone(unsigned waitMs) const noexcept
{
    // A fault inside the restore itself: the thread that was giving back is this one.
    if (restorer_ == ::GetCurrentThreadId())
        return;
    constexpr unsigned kLookMs = 20;
    for (unsigned waited = 0; stage_ != kDone && waited < waitMs; waited += kLookMs)
        ::Sleep(kLookMs);
}

void TFaultRestore::AfterFault(HWND main, DWORD faultingThread, unsigned waitMs) noexcept
{
    const DWORD windowThread = main ? ::GetWindowThreadProcessId(main, nullptr) : 0;
    int expected = kNone;
    if (windowThread == 0 || windowThread == faultingThread) {
        // The window's own thread: nothing else runs on it now. A request another faulting
        // thread left waiting for it is taken here too; a fault inside the restore itself is
        // not restored again, and one that another thread is giving back is waited for.
        if (stage_.compare_exchange_strong(expected, kHere) ||
            (expected == kAsked && stage_.compare_exchange_strong(expected, kHere)))
            RestoreHere();
        else
            WaitDone(waitMs);
        return;
    }
    if (!stage_.compare_exchange_strong(expected, kAsked)) {
        // Another thread faulted first and is at it.
        WaitDone(waitMs);
        return;
    }
    // Our own thread must not serve other requests meanwhile (SMTO_BLOCK); a window's thread
    // that has read no messages for seconds will not start now (SMTO_ABORTIFHUNG).
    DWORD_PTR answer = 0;
    if (::SendMessageTimeoutW(main, RestoreAfterFaultMessage(), 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, waitMs,
                              &answer) &&
        static_cast<LRESULT>(answer) == kRestored)
        return;
    // Not taken: the request stays queued, and a window's thread that reads it later finds
    // the work done. Taken but not finished in time: it is waited for, never run beside it.
    expected = kAsked;
    if (stage_.compare_exchange_strong(expected, kHere))
        RestoreHere();
    else
        WaitDone(waitMs);
}

LRESULT TFaultRestore::Answer() noexcept
{
    int expected = kAsked;
    if (!stage_.compare_exchange_strong(expected, kOnWindow))
        return 0;
    restorer_ = ::GetCurrentThreadId();
    try {
        restore_(context_);
    } catch (...) {
    }
    stage_ = kDone;
    return kRestored;
}

} // namespace tw
