// A simulated desktop for the native unit tests: top-level windows in Z order, their
// children, owning processes with memory that "remote buffers" point into, and a message
// hook per window so a test can stand in for another program's control (a toolbar, say).
// It answers the WindowApi and ProcessApi calls the way Windows does for the cases the
// engines rely on; anything else a test wants to observe is recorded in `log`.
#pragma once

#include "platform/Platform.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tw::sim {

struct SimWindow {
    Hwnd handle = 0;
    Hwnd parent = 0;            // 0 for a top-level window
    Hwnd owner = 0;             // the top-level window that owns it (a dialog's main window)
    std::string cls;
    std::string title;          // ANSI bytes; the wide call widens them byte by byte
    std::u16string wideTitle;   // when set, the title the wide call gives instead
    bool visible = true;        // WS_VISIBLE of the window itself
    bool minimized = false;     // IsIconic; hiding keeps it, as Windows' SW_HIDE does
    std::uint32_t pid = 1;
    bool hung = false;          // the system counts it hung: abort-if-hung sends give up at
                                // once; IsHungAppWindow says so; show requests wait for Pump
    unsigned busyMs = 0;        // its thread gets to a sent message only this long after it
                                // came: busy, yet not counted hung, so sends wait on it
    std::vector<ShowCmd> queuedShows;   // requests its thread has not got to yet
    bool refusesShows = false;  // ShowWindowAsync cannot queue anything to it
    bool staysHidden = false;   // its program hides it again whenever it is shown
    std::optional<bool> cloaked;            // what the window manager says; nothing: it cannot
    std::optional<bool> onVirtualDesktop;   // what the virtual-desktop manager says, likewise
    // Answers messages sent to this window; unset windows answer 0.
    std::function<std::intptr_t(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)> onMessage;
};

struct SimProcess {
    bool openable = true;       // OpenProcess succeeds
    bool canReserve = true;     // VirtualAllocEx succeeds
    std::map<std::uintptr_t, std::vector<std::uint8_t>> buffers;  // live reservations by address
    std::map<std::uint64_t, std::vector<std::uint8_t>> memory;    // its own structures, by address
    unsigned pointerSize = 4;   // 8: a 64-bit process
    int reservations = 0;       // ever made
    int releases = 0;           // VirtualFreeEx + CloseHandle done
    std::uint64_t created = 1;  // creation time; a new process under a reused id gets another
    std::optional<std::uint32_t> integrity = 0x2000;   // medium; nothing: unreadable
    std::optional<std::string> image;   // the executable's path (UTF-8); nothing: unreadable
};

class SimDesktop : public WindowApi, public ProcessApi, public IdentityApi {
public:
    // Creates a window on top of the Z order (as a new window appears) and returns it.
    Hwnd AddWindow(const std::string& title, bool visible = true, const std::string& cls = "Sim",
                   Hwnd parent = 0, std::uint32_t pid = 1);
    void DestroyWindow(Hwnd w);
    SimWindow& Window(Hwnd w);
    bool Exists(Hwnd w) const;
    // Top-level Z order, top first.
    const std::vector<Hwnd>& ZOrder() const { return zorder_; }
    SimProcess& Process(std::uint32_t pid) { return processes_[pid]; }
    // A hung window's thread resumes: it carries out the show requests queued meanwhile.
    void Pump(Hwnd w);
    // The virtual-desktop manager hangs, as it does with a hung shell: every call waits until
    // ReleaseVirtualDesktops (or, so that a caller that waits cannot hang the suite, half a
    // minute). Called from any thread; the counts say how many calls began and returned.
    void HangVirtualDesktops();
    // Lets the waiting calls answer, and waits until each has returned.
    void ReleaseVirtualDesktops();
    std::atomic<int> virtualDesktopCalls{0};
    std::atomic<int> virtualDesktopAnswers{0};
    // Reads/writes the other process's memory at an address it handed out.
    std::uint8_t* RemoteMemory(std::uint32_t pid, std::uintptr_t address, std::size_t length);

    OsVersion version{6, 1};
    std::uint32_t ownIntegrity = 0x2000;
    // The window the user works in. A restore carried out brings its window to the front of
    // the stacking order and, while we may take the foreground, gives it the foreground.
    Hwnd foreground = 0;
    // Whether we may take the foreground now (we had the last input, e.g. our hot key);
    // without it Activate changes nothing, as on Windows.
    bool mayActivate = true;
    // The simulated ANSI code page: bytes 0-255 stand for U+0000-U+00FF, and these
    // characters have the byte sequences given; any other becomes '?'.
    std::map<char16_t, std::string> codePage;
    std::vector<std::string> log;   // "ShowWindow <title> <cmd>", ...
    std::uint64_t waitedMs = 0;     // how long the caller's sends have waited, all told
    // Called as a ShowWindow arrives, before it takes effect: what was true at that moment.
    std::function<void(Hwnd, ShowCmd)> onShowWindow;
    // Stands in for GetNextSibling when set, given the window and the true answer: a Z order
    // that changes under a walk (a loop, windows that never end).
    std::function<Hwnd(Hwnd w, Hwnd next)> nextSiblingHook;
    int nextSiblingCalls = 0;

    // WindowApi
    Hwnd GetFirstSibling(Hwnd any) override;
    Hwnd GetNextSibling(Hwnd w) override;
    int GetWindowTextW(Hwnd w, char16_t* buf, int maxCount) override;
    std::string AnsiForm(std::u16string_view wide) override;
    std::u16string WideForm(std::string_view ansi) override;
    bool IsWindow(Hwnd w) override;
    bool IsWindowVisible(Hwnd w) override;
    std::optional<bool> IsCloaked(Hwnd w) override { return Exists(w) ? windows_.at(w).cloaked : std::nullopt; }
    std::optional<bool> IsOnVirtualDesktop(Hwnd w) override;
    bool IsIconic(Hwnd w) override { return Exists(w) && windows_.at(w).minimized; }
    bool IsHungAppWindow(Hwnd w) override { return Exists(w) && windows_.at(w).hung; }
    bool ShowWindowAsync(Hwnd w, ShowCmd cmd) override;
    Hwnd FindWindowA(const char* cls) override;
    Hwnd FindChildWindowA(Hwnd parent, const char* cls) override;
    std::string ClassName(Hwnd w) override { return Exists(w) ? windows_.at(w).cls : std::string(); }
    std::uint32_t GetWindowProcessId(Hwnd w) override;
    Hwnd GetForegroundWindow() override { return Exists(foreground) ? foreground : 0; }
    Hwnd RootOwner(Hwnd w) override;
    bool PlaceBehind(Hwnd w, Hwnd inFront) override;
    bool Activate(Hwnd w) override;
    bool SendMessageA(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                      std::intptr_t& result) override;
    bool SendMessageWithin(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, unsigned timeoutMs,
                           std::intptr_t& result) override;
    std::optional<std::uint32_t> IntegrityLevel(std::uint32_t pid) override;

    // ProcessApi
    std::unique_ptr<RemoteBuffer> ReserveRemoteBuffer(std::uint32_t pid, std::size_t length) override;
    OsVersion SystemVersion() override { return version; }
    AudioApi* Audio() override { return audio; }
    AudioApi* audio = nullptr;   // what Audio() gives, when a test sets one

    // IdentityApi
    std::uint64_t ProcessCreationTime(std::uint32_t pid) override;
    std::optional<std::string> ProcessImagePath(std::uint32_t pid) override;

private:
    void Carry(SimWindow& win, ShowCmd cmd);
    void ToFront(Hwnd w);

    std::map<Hwnd, SimWindow> windows_;
    std::vector<Hwnd> zorder_;          // top-level windows only
    std::vector<Hwnd> children_;        // in creation order
    std::map<std::uint32_t, SimProcess> processes_;
    Hwnd nextHandle_ = 0x10010;         // handles are never reused, as a test wants
    std::uintptr_t nextAddress_ = 0x7F000000;
    struct Hang {
        std::mutex mutex;
        std::condition_variable changed;
        bool hung = false;
        int calling = 0;
    };
    std::unique_ptr<Hang> hang_ = std::make_unique<Hang>();
};

} // namespace tw::sim
