// The crash path gives back what we hid on the window's own thread, where the lists live:
// once, whichever thread faulted, and whether or not the window's thread takes the request.
#include "app/FaultRestore_win.h"

#include <gtest/gtest.h>

#include <atomic>

namespace tw {
namespace {

struct Restores {
    std::atomic<int> count{0};
    std::atomic<DWORD> thread{0};
};

void Restore(void* context)
{
    auto& seen = *static_cast<Restores*>(context);
    ++seen.count;
    seen.thread = ::GetCurrentThreadId();
}

// A window of the test's thread that answers the request as the main window does.
LRESULT CALLBACK MainProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* restore = reinterpret_cast<TFaultRestore*>(::GetWindowLongPtrW(w, GWLP_USERDATA));
    if (restore && msg == RestoreAfterFaultMessage())
        return restore->Answer();
    return ::DefWindowProcW(w, msg, wParam, lParam);
}

HWND MakeMain(TFaultRestore& restore)
{
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &MainProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TwFaultTestMain";
        return ::RegisterClassW(&wc);
    }();
    HWND main = ::CreateWindowExW(0, MAKEINTATOM(cls), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&restore));
    return main;
}

void PumpWaiting()
{
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
}

struct Fault {
    TFaultRestore& restore;
    HWND main;
    unsigned waitMs;
};

DWORD WINAPI FaultingThread(void* param)
{
    auto& fault = *static_cast<Fault*>(param);
    fault.restore.AfterFault(fault.main, ::GetCurrentThreadId(), fault.waitMs);
    return 0;
}

// Another thread takes the crash path while the window's thread reads its messages, or is
// stuck elsewhere; returns that thread's id.
DWORD FaultOnAnotherThread(TFaultRestore& restore, HWND main, unsigned waitMs, bool windowThreadReads)
{
    Fault fault{restore, main, waitMs};
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, &FaultingThread, &fault, 0, &id);
    if (!thread)
        return 0;
    if (windowThreadReads) {
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, 20000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            PumpWaiting();
    } else {
        ::WaitForSingleObject(thread, 20000);
    }
    ::CloseHandle(thread);
    return id;
}

TEST(FaultRestore, WhatWeHidIsGivenBackOnceAndOnTheWindowsThreadWhenItTakesTheRequest)
{
    const DWORD windowThread = ::GetCurrentThreadId();
    {
        SCOPED_TRACE("another thread faults while the window's thread reads its messages");
        Restores seen;
        TFaultRestore restore(&Restore, &seen);
        HWND main = MakeMain(restore);
        ASSERT_TRUE(main);
        // A request no fault sent (another program's) gives nothing back.
        EXPECT_EQ(::SendMessageW(main, RestoreAfterFaultMessage(), 0, 0), 0);
        EXPECT_EQ(seen.count, 0);

        ASSERT_NE(FaultOnAnotherThread(restore, main, 5000, true), 0u);
        EXPECT_EQ(seen.count, 1);
        EXPECT_EQ(seen.thread, windowThread);
        // A second fault finds the work done.
        ASSERT_NE(FaultOnAnotherThread(restore, main, 5000, true), 0u);
        EXPECT_EQ(seen.count, 1);
        ::DestroyWindow(main);
    }
    {
        SCOPED_TRACE("the window's thread does not read its messages");
        Restores seen;
        TFaultRestore restore(&Restore, &seen);
        HWND main = MakeMain(restore);
        ASSERT_TRUE(main);
        const DWORD faulting = FaultOnAnotherThread(restore, main, 200, false);
        ASSERT_NE(faulting, 0u);
        EXPECT_EQ(seen.count, 1);
        EXPECT_EQ(seen.thread, faulting);
        // The request it reads once it gets going again finds nothing left to do.
        PumpWaiting();
        EXPECT_EQ(seen.count, 1);
        ::DestroyWindow(main);
    }
    {
        SCOPED_TRACE("the window's own thread faults");
        Restores seen;
        TFaultRestore restore(&Restore, &seen);
        HWND main = MakeMain(restore);
        ASSERT_TRUE(main);
        restore.AfterFault(main, windowThread, 5000);
        EXPECT_EQ(seen.count, 1);
        EXPECT_EQ(seen.thread, windowThread);
        ::DestroyWindow(main);
    }
}

} // namespace
} // namespace tw
