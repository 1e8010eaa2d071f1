#include "App.h"

#include "Controls.h"
#include "Input.h"

#include <gtest/gtest.h>

#include <aclapi.h>

namespace tw::e2e {

bool ShutInstanceLock() {
    HANDLE lock = OpenMutexW(WRITE_DAC, FALSE, kInstanceLock);
    if (!lock) {
        return false;
    }
    ACL empty{};
    bool shut = InitializeAcl(&empty, sizeof empty, ACL_REVISION) &&
                SetSecurityInfo(lock, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, &empty, nullptr) == ERROR_SUCCESS;
    CloseHandle(lock);
    return shut;
}

App::App() : folder_(L"tw-app") {
    const std::wstring built = TarnwickExe();
    exe_ = folder_.File(L"Tarnwick.exe");
    if (!CopyFileW(built.c_str(), exe_.c_str(), FALSE)) {
        ADD_FAILURE() << "could not copy " << WideToUtf8(built) << " to " << WideToUtf8(exe_) << " (error "
                      << GetLastError() << ")";
    }
}

App::~App() {
    // Gone before its folder is removed, or the folder stays behind.
    process_.Kill();
}

bool App::Start(const std::wstring& args, Until until, Ms timeout) {
    // Started again after it ended (closed, or killed): a new run in the same folder.
    if (process_.Started() && !process_.Running()) {
        process_ = Process();
        main_ = nullptr;
    }
    // Out of the way of the window about to open: see ParkPointer.
    ParkPointer();
    Process::Options options;
    options.folder = Folder();
    if (!process_.Start(exe_, args, options)) {
        return false;
    }
    const bool visibleOnly = until == Until::MainWindowVisible;
    main_ = WaitFor(
        [&]() -> HWND {
            const auto found = TopLevelWindows(process_.Id(), kMainWindowClass, visibleOnly);
            return found.empty() || !process_.Running() ? nullptr : found.front();
        },
        timeout);
    if (main_) {
        return true;
    }
    if (!process_.Running()) {
        ADD_FAILURE() << "Tarnwick.exe exited with code 0x" << std::hex << process_.ExitCode().value_or(0)
                      << " before its main window appeared";
    } else {
        ADD_FAILURE() << "no " << (visibleOnly ? "visible " : "") << "TFrmAmbler window within " << timeout.count()
                      << " ms";
    }
    return false;
}

bool App::Close(Ms timeout) {
    if (!process_.Running()) {
        return true;
    }
    if (main_) {
        PostMessageW(main_, WM_CLOSE, 0, 0);
    }
    if (process_.WaitExit(timeout)) {
        return true;
    }
    ADD_FAILURE() << "Tarnwick.exe still runs " << timeout.count() << " ms after WM_CLOSE";
    return false;
}

HWND App::WaitForWindow(std::wstring_view cls, std::wstring_view title, Ms timeout) const {
    return WaitForTopLevel(process_.Id(), cls, title, timeout);
}

std::vector<HWND> App::Windows(std::wstring_view cls, bool visibleOnly) const {
    return TopLevelWindows(process_.Id(), cls, visibleOnly);
}

bool App::ChooseFromContextMenu(POINT at, int item) const {
    if (!RightClick(at)) {
        return false;
    }
    HWND popup = WaitFor([&] {
        const std::vector<HWND> menus = Windows(L"#32768");
        return menus.empty() ? nullptr : menus.front();
    });
    if (!popup) {
        return false;
    }
    const RECT menu = ScreenRect(popup);
    if (!MoveMouse(POINT{menu.left - 20, menu.top - 20})) {
        return false;
    }
    for (int i = 0; i < item; ++i) {
        PressKey(VK_DOWN);
    }
    PressKey(VK_RETURN);
    return WaitUntil([&] { return Windows(L"#32768").empty(); });
}

} // namespace tw::e2e
