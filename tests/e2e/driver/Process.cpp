#include "Process.h"

#include "Paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tw::e2e {

// Collects the lines a process writes to its pipe. The reading thread is detached and shares
// the lines with us: it ends by itself when the pipe breaks, so a test never hangs on a
// process that keeps its output open.
class Process::OutputReader {
public:
    explicit OutputReader(HANDLE readEnd) : state_(std::make_shared<State>()) {
        std::thread([state = state_, pipe = readEnd] { Read(*state, pipe); }).detach();
    }

    std::optional<std::string> ReadLine(Ms timeout) {
        std::unique_lock lock(state_->mutex);
        state_->changed.wait_for(lock, timeout, [&] { return !state_->lines.empty() || state_->closed; });
        if (state_->lines.empty()) {
            return std::nullopt;
        }
        std::string line = std::move(state_->lines.front());
        state_->lines.pop_front();
        return line;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::string> lines;
        bool closed = false;
    };

    static void Read(State& state, HANDLE pipe) {
        std::string pending;
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(pipe, buf, sizeof buf, &got, nullptr) && got > 0) {
            pending.append(buf, got);
            size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, end);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                pending.erase(0, end + 1);
                std::lock_guard lock(state.mutex);
                state.lines.push_back(std::move(line));
                state.changed.notify_all();
            }
        }
        CloseHandle(pipe);
        std::lock_guard lock(state.mutex);
        if (!pending.empty()) {
            state.lines.push_back(std::move(pending));
        }
        state.closed = true;
        state.changed.notify_all();
    }

    std::shared_ptr<State> state_;
};

namespace {

// Our environment with `extra` set on top, as CreateProcessW wants it: NAME=value\0...\0\0.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& extra) {
    std::vector<wchar_t> block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; entry && *entry; entry += wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        bool replaced = false;
        for (const auto& [name, value] : extra) {
            // Names are case-insensitive; "=C:" style entries never match a real name.
            if (text.size() > name.size() && text[name.size()] == L'=' &&
                CompareStringOrdinal(text.data(), static_cast<int>(name.size()), name.data(),
                                     static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
                replaced = true;
            }
        }
        if (!replaced) {
            block.insert(block.end(), text.begin(), text.end());
            block.push_back(L'\0');
        }
    }
    if (current) {
        FreeEnvironmentStringsW(current);
    }
    for (const auto& [name, value] : extra) {
        const std::wstring entry = name + L"=" + value;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// Every process a test starts belongs to this job, which ends them all when the test process
// goes, even if it crashes: a leftover program would otherwise hold hot keys, windows and
// temporary files into the next test of the session.
HANDLE TestJob() {
    static const HANDLE job = [] {
        HANDLE j = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (j) {
            SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
        return j;
    }();
    return job;
}

std::wstring UniqueEventName(const wchar_t* kind) {
    static std::atomic<unsigned> counter{0};
    return std::wstring(L"tw-e2e-") + kind + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
}

} // namespace

Process::Process() = default;
Process::Process(Process&& other) noexcept
    : process_(std::move(other.process_)), id_(std::exchange(other.id_, 0)), output_(std::move(other.output_)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Kill();
        process_ = std::move(other.process_);
        id_ = std::exchange(other.id_, 0);
        output_ = std::move(other.output_);
    }
    return *this;
}

Process::~Process() { Kill(); }

bool Process::Start(const std::wstring& exe, const std::wstring& args, const Options& options) {
    if (Started()) {
        ADD_FAILURE() << "Process::Start: already started " << WideToUtf8(exe);
        return false;
    }
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!args.empty()) {
        commandLine += L" " + args;
    }
    std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    UniqueHandle readEnd, writeEnd, nul;
    if (options.captureOutput) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        HANDLE r = nullptr, w = nullptr;
        if (!CreatePipe(&r, &w, &inheritable, 0)) {
            ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
            return false;
        }
        readEnd.Reset(r);
        writeEnd.Reset(w);
        SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
        nul.Reset(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                              nullptr));
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nul.Get();
        startup.hStdOutput = w;
        startup.hStdError = w;
    }
    std::vector<wchar_t> environment = EnvironmentBlock(options.environment);

    PROCESS_INFORMATION info{};
    // Suspended until it is in the job, so that nothing it starts escapes the job either.
    const DWORD flags =
        CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | (options.captureOutput ? CREATE_NO_WINDOW : 0);
    if (!CreateProcessW(exe.c_str(), mutableCommandLine.data(), nullptr, nullptr, options.captureOutput, flags,
                        environment.data(), options.folder.empty() ? nullptr : options.folder.c_str(), &startup,
                        &info)) {
        ADD_FAILURE() << "could not start " << WideToUtf8(commandLine) << " (error " << GetLastError() << ")";
        return false;
    }
    if (HANDLE job = TestJob()) {
        AssignProcessToJobObject(job, info.hProcess);
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    id_ = info.dwProcessId;
    if (options.captureOutput) {
        writeEnd.Reset(); // the child holds the only write end now: its exit ends the reader
        output_ = std::make_unique<OutputReader>(readEnd.Release()); // the reader closes it
    }
    return true;
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

bool Process::WaitExit(Ms timeout) {
    if (!process_) {
        return true;
    }
    return WaitUntil([&] { return !Running(); }, timeout);
}

std::optional<DWORD> Process::ExitCode() const {
    DWORD code = 0;
    if (!process_ || Running() || !GetExitCodeProcess(process_.Get(), &code)) {
        return std::nullopt;
    }
    return code;
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

std::optional<std::string> Process::ReadLine(Ms timeout) {
    if (!output_) {
        ADD_FAILURE() << "Process::ReadLine without captureOutput";
        return std::nullopt;
    }
    return output_->ReadLine(timeout);
}

Helper::Helper() = default;
Helper::Helper(Helper&&) noexcept = default;
Helper& Helper::operator=(Helper&&) noexcept = default;
Helper::~Helper() {
    if (process_.Running()) {
        Stop();
    }
}

bool Helper::Start(const std::wstring& exe, const std::wstring& args, Ms timeout) {
    const std::wstring readyName = UniqueEventName(L"ready");
    const std::wstring quitName = UniqueEventName(L"quit");
    ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    quit_.Reset(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    if (!ready_ || !quit_) {
        ADD_FAILURE() << "could not create the helper's events (error " << GetLastError() << ")";
        return false;
    }
    Process::Options options;
    options.captureOutput = true;
    options.environment = {{L"TW_READY_EVENT", readyName}, {L"TW_QUIT_EVENT", quitName}};
    if (!process_.Start(exe, args, options)) {
        return false;
    }
    const auto ready = [&] { return WaitForSingleObject(ready_.Get(), 0) == WAIT_OBJECT_0; };
    if (WaitUntil([&] { return ready() || !process_.Running(); }, timeout) && ready()) {
        return true;
    }
    if (!process_.Running()) {
        ADD_FAILURE() << "helper " << WideToUtf8(exe) << " exited with code " << process_.ExitCode().value_or(0)
                      << " before it was ready";
    } else {
        ADD_FAILURE() << "helper " << WideToUtf8(exe) << " was not ready within " << timeout.count() << " ms";
        process_.Kill();
    }
    return false;
}

bool Helper::Stop(Ms timeout) {
    if (!process_.Running()) {
        return true;
    }
    SetEvent(quit_.Get());
    if (process_.WaitExit(timeout)) {
        return true;
    }
    process_.Kill();
    return false;
}

} // namespace tw::e2e
