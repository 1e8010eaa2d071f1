// After a fault, what we hid is given back on the window's own thread, where the window list,
// the tray list and the muter are used: a fault on another thread (a shell extension on the
// picker's asker thread, say) must not have them used from two threads at once. The faulting
// thread asks the window's thread, waits a bounded time, and gives back by itself only when
// that thread does not take the request.
#pragma once

#include <windows.h>

#include <atomic>

namespace tw {

// What the faulting thread sends the main window.
UINT RestoreAfterFaultMessage();

class TFaultRestore {
public:
    // `restore(context)` gives back everything; it runs once, on whichever thread gets to it.
    TFaultRestore(void (*restore)(void*), void* context) : restore_(restore), context_(context) {}
    TFaultRestore(const TFaultRestore&) = delete;
    TFaultRestore& operator=(const TFaultRestore&) = delete;

    // Called on the thread that faulted (or, for a stack overflow, on a fresh one for it).
    // From the window's thread, gives back at once; from another, asks `main` and waits at
    // most `waitMs` for its thread to take the request and as long again for it to finish.
    void AfterFault(HWND main, DWORD faultingThread, unsigned waitMs) noexcept;
    // The main window's answer to RestoreAfterFaultMessage: gives back while a faulting thread
    // waits for it, and does nothing otherwise (a request that came too late, or one that no
    // fault sent).
    LRESULT Answer() noexcept;

private:
    // Who gives back: no one yet; asked of the window's thread; taken by it; taken by the
    // faulting thread; done.
    enum Stage : int { kNone, kAsked, kOnWindow, kHere, kDone };
    void RestoreHere() noexcept;
    void WaitDone(unsigned waitMs) const noexcept;

    void (*restore_)(void*);
    void* context_;
    std::atomic<int> stage_{kNone};
    std::atomic<DWORD> restorer_{0};   // the thread giving back, once one is
};

} // namespace tw
