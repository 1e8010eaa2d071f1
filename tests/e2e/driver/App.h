// The program under test, run from a copy in a fresh temporary folder so that whatever it
// writes beside itself (settings, lists) starts empty and goes away with the test.
#pragma once

#include "Paths.h"
#include "Process.h"
#include "Wait.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::e2e {

// The main window's class and title.
inline constexpr wchar_t kMainWindowClass[] = L"TFrmAmbler";
inline constexpr wchar_t kMainWindowTitle[] = L"Tarnwick";
// The lock through which a start finds the copy that runs already.
inline constexpr wchar_t kInstanceLock[] = L"Local\\Tarnwick.Instance.6A0F3C2E";

// Takes every right on the running copy's lock away (as its owner, the test may): a start
// then meets it as a normal start meets the lock of a copy run as administrator that shuts
// lower levels out. Wine runs every process at one level, so this is how that is staged.
bool ShutInstanceLock();

class App {
public:
    // Copies Tarnwick.exe (see TarnwickExe) into the folder; does not start it. Put files
    // the program should find beside it into Folder() before Start.
    App();
    // Ends the program if it still runs and removes the folder.
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    const std::wstring& Folder() const { return folder_.Path(); }
    std::wstring FileInFolder(std::wstring_view name) const { return folder_.File(name); }
    const std::wstring& Exe() const { return exe_; }

    enum class Until { MainWindowVisible, MainWindowExists };
    // Starts the program with `args` in its folder and waits for its main window. Records a
    // failure and returns false if it does not come within `timeout`. Once the program has
    // ended, it may be started again: what it left in its folder is still there.
    bool Start(const std::wstring& args = {}, Until until = Until::MainWindowVisible, Ms timeout = kStartWait);

    // The main window found by Start (nullptr before).
    HWND MainWindow() const { return main_; }
    DWORD Id() const { return process_.Id(); }
    Process& Proc() { return process_; }
    bool Running() const { return process_.Running(); }

    // Posts WM_CLOSE to the main window, as the title bar's close button would, and waits for
    // the process to end. Records a failure and returns false if it does not.
    bool Close(Ms timeout = kShortWait);
    bool WaitExit(Ms timeout = kShortWait) { return process_.WaitExit(timeout); }
    std::optional<DWORD> ExitCode() const { return process_.ExitCode(); }
    void Kill() { process_.Kill(); }

    // A visible top-level window of the program, e.g. a message box ("#32770").
    HWND WaitForWindow(std::wstring_view cls, std::wstring_view title = {}, Ms timeout = kShortWait) const;
    std::vector<HWND> Windows(std::wstring_view cls = {}, bool visibleOnly = true) const;

    // Picks item `item` (from 1) of the program's context menu at `at`, opened with a right
    // click, with the keys; true once the menu has gone. The pointer is taken off the menu
    // first: a menu opens under it, and a hover read late (Wine reads the pointer's arrival
    // over a new window when the program next looks at its input) would move the highlight
    // after the keys had moved it.
    bool ChooseFromContextMenu(POINT at, int item) const;

private:
    TempFolder folder_;
    std::wstring exe_;
    Process process_;
    HWND main_ = nullptr;
};

} // namespace tw::e2e
