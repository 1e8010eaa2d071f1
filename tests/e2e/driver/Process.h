// Other processes a test starts: any exe, and helpers that play "another program".
#pragma once

#include "Wait.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw::e2e {

// Owns a kernel handle; closes it once.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.h_, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    HANDLE Release() { return std::exchange(h_, nullptr); }
    void Reset(HANDLE h = nullptr) {
        if (h_) {
            CloseHandle(h_);
        }
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

// How Process::Start starts a process.
struct ProcessOptions {
    std::wstring folder;                                           // working folder; empty: ours
    std::vector<std::pair<std::wstring, std::wstring>> environment; // added to ours
    bool captureOutput = false;                                    // stdout+stderr, read with ReadLine
};

// A started process. Ends it (TerminateProcess) if it still runs when the object goes, so a
// failed test never leaves programs behind on the test bed; should the test process itself
// crash, a job object ends everything it started.
class Process {
public:
    using Options = ProcessOptions;

    Process();
    ~Process();
    Process(Process&&) noexcept;
    Process& operator=(Process&&) noexcept;

    // Starts `exe` with the command line `"exe" args`. Records a test failure and returns
    // false when it cannot.
    bool Start(const std::wstring& exe, const std::wstring& args = {}, const Options& options = {});

    bool Started() const { return static_cast<bool>(process_); }
    bool Running() const;
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }

    // True when the process has exited within `timeout`.
    bool WaitExit(Ms timeout = kShortWait);
    // The exit code once it has exited; nothing while it runs or if it never started.
    std::optional<DWORD> ExitCode() const;
    // TerminateProcess and wait for it to be gone.
    void Kill();

    // The next line the process wrote (without the line break), waiting up to `timeout`;
    // nothing when none came or the output is closed. Needs captureOutput.
    std::optional<std::string> ReadLine(Ms timeout = kShortWait);

private:
    class OutputReader;
    UniqueHandle process_;
    DWORD id_ = 0;
    std::unique_ptr<OutputReader> output_;
};

// A helper exe (tests/*/helpers/*.cpp) in the handshake of HelperSide.h: Start returns once
// the helper has called SignalReady(), Stop asks it to quit before it is killed. Its output
// is captured, so a helper can report what the test needs (say a window handle) with Say().
class Helper {
public:
    Helper();
    ~Helper();
    Helper(Helper&&) noexcept;
    Helper& operator=(Helper&&) noexcept;

    // Records a test failure and returns false when the helper cannot start, exits first, or
    // is not ready within `timeout`.
    bool Start(const std::wstring& exe, const std::wstring& args = {}, Ms timeout = kStartWait);
    // Asks the helper to quit; kills it if it has not within `timeout`. True when it quit itself.
    bool Stop(Ms timeout = kShortWait);

    Process& Proc() { return process_; }
    DWORD Id() const { return process_.Id(); }
    std::optional<std::string> ReadLine(Ms timeout = kShortWait) { return process_.ReadLine(timeout); }

private:
    Process process_;
    UniqueHandle ready_;
    UniqueHandle quit_;
};

} // namespace tw::e2e
