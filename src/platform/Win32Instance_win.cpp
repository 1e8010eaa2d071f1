// The session's one-copy lock: a named mutex that a start at any integrity level can open.
#include "platform/Win32Platform.h"

#include <windows.h>
#include <sddl.h>

namespace tw {

namespace {

// What a later start of the same user needs of the lock: to wait on it, and to hold it
// once the copy that held it has ended. Asking for no more keeps a lock made by another
// version, with rights of its own, open to us.
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;
// The same rights granted to the user, with READ_CONTROL beside them, in the DACL's text.
constexpr wchar_t kUserRights[] = L"0x120001";
static_assert((kLockAccess | READ_CONTROL) == 0x120001);
constexpr UINT kRequestTimeoutMs = 5000;

class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory()
    {
        if (memory_)
            ::LocalFree(memory_);
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    void** Out() { return &memory_; }
    void* Get() const { return memory_; }

private:
    void* memory_ = nullptr;
};

// The user's SID as text; empty when the token cannot be read.
std::wstring UserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    std::wstring text;
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE]{};
    DWORD length = 0;
    LocalMemory sid;
    if (::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, reinterpret_cast<LPWSTR*>(sid.Out())))
        text = static_cast<const wchar_t*>(sid.Get());
    ::CloseHandle(token);
    return text;
}

class Win32InstanceLock final : public InstanceApi {
public:
    Win32InstanceLock(std::wstring name, std::wstring windowClass, unsigned showMessage, unsigned restoreMessage)
        : name_(std::move(name)), windowClass_(std::move(windowClass)), showMessage_(showMessage),
          restoreMessage_(restoreMessage)
    {
    }
    ~Win32InstanceLock() override
    {
        if (!mutex_)
            return;
        if (held_)
            ::ReleaseMutex(mutex_);
        ::CloseHandle(mutex_);
    }
    Win32InstanceLock(const Win32InstanceLock&) = delete;
    Win32InstanceLock& operator=(const Win32InstanceLock&) = delete;

    InstanceClaim Claim() override
    {
        if (held_)
            return InstanceClaim::Held;
        if (!mutex_) {
            DWORD error = ERROR_SUCCESS;
            mutex_ = Create(error);
            if (!mutex_)
                return error == ERROR_ACCESS_DENIED ? InstanceClaim::Denied : InstanceClaim::Failed;
            if (error != ERROR_ALREADY_EXISTS) {
                held_ = true;
                return InstanceClaim::Held;
            }
        }
        // Only the copy that made the lock holds it, for its whole run: we get it once that
        // copy has ended, however it ended.
        DWORD state = ::WaitForSingleObject(mutex_, 0);
        held_ = state == WAIT_OBJECT_0 || state == WAIT_ABANDONED;
        return held_ ? InstanceClaim::Held : InstanceClaim::Taken;
    }

    Hwnd RunningCopyWindow() override
    {
        return reinterpret_cast<Hwnd>(::FindWindowW(windowClass_.c_str(), nullptr));
    }

    RequestAnswer Request(Hwnd main, bool restore) override
    {
        HWND window = reinterpret_cast<HWND>(main);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        // We were started by the user, so we may hand the foreground on to the copy.
        ::AllowSetForegroundWindow(pid);
        DWORD_PTR answer = 0;
        ::SetLastError(ERROR_SUCCESS);
        if (::SendMessageTimeoutW(window, restore ? restoreMessage_ : showMessage_, 0, 0, SMTO_ABORTIFHUNG,
                                  kRequestTimeoutMs, &answer))
            return answer == 1 ? RequestAnswer::Taken : RequestAnswer::NoAnswer;
        // The system drops what a process sends to a window above its integrity level, and
        // says so this way alone.
        return ::GetLastError() == ERROR_ACCESS_DENIED ? RequestAnswer::Blocked : RequestAnswer::NoAnswer;
    }

    CommandAnswer Command(Hwnd main, std::string_view word, unsigned ms, bool untilEnded) override
    {
        HWND window = reinterpret_cast<HWND>(main);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid == 0)
            return CommandAnswer::NoAnswer;
        // Only a copy at our own level takes orders from us: one above would drop them, and
        // one below is not for a start with more rights to drive (an elevated script, say).
        // A level neither side can read is no difference.
        if (Win32Windows().IntegrityLevel(pid) != Win32Windows().IntegrityLevel(0))
            return CommandAnswer::OtherLevel;
        // Opened before the command goes, so that the id cannot meanwhile name another process.
        HANDLE process = untilEnded ? ::OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
        if (untilEnded && !process)
            return CommandAnswer::NoAnswer;
        // The user (or the key they pressed) started us: the copy may take the foreground
        // as the command needs, as their hot key would let it.
        ::AllowSetForegroundWindow(pid);
        COPYDATASTRUCT data{};
        data.dwData = kCommandTag;
        data.cbData = static_cast<DWORD>(word.size());
        data.lpData = const_cast<char*>(word.data());
        const ULONGLONG start = ::GetTickCount64();
        DWORD_PTR answer = 0;
        CommandAnswer result = CommandAnswer::NoAnswer;
        if (::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, ms,
                                  &answer) &&
            answer == static_cast<DWORD_PTR>(kCommandTaken)) {
            const ULONGLONG spent = ::GetTickCount64() - start;
            const DWORD left = spent < ms ? static_cast<DWORD>(ms - spent) : 0;
            result = !untilEnded || ::WaitForSingleObject(process, left) == WAIT_OBJECT_0 ? CommandAnswer::Done
                                                                                          : CommandAnswer::NoAnswer;
        }
        if (process)
            ::CloseHandle(process);
        return result;
    }

    void Pause(unsigned ms) override { ::Sleep(ms); }

private:
    // The lock with a security descriptor that lets every start of this user in. Made as
    // administrator it would otherwise allow administrators alone, and carry the high
    // integrity label, which shuts out a normal start even where the DACL would let it in:
    // so the DACL names the user, and the label is set down to medium. `error` is the
    // system's word on the call: ERROR_ALREADY_EXISTS when another copy made the lock.
    HANDLE Create(DWORD& error)
    {
        const std::wstring sid = UserSid();
        LocalMemory descriptor;
        SECURITY_ATTRIBUTES attributes{};
        attributes.nLength = sizeof attributes;
        if (!sid.empty()) {
            const std::wstring sddl = std::wstring(L"D:P(A;;") + kUserRights + L";;;" + sid + L")S:(ML;;NW;;;ME)";
            if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                       descriptor.Out(), nullptr))
                attributes.lpSecurityDescriptor = descriptor.Get();
        }
        ::SetLastError(ERROR_SUCCESS);
        HANDLE mutex = ::CreateMutexExW(attributes.lpSecurityDescriptor ? &attributes : nullptr, name_.c_str(),
                                        CREATE_MUTEX_INITIAL_OWNER, kLockAccess);
        error = ::GetLastError();
        // A start below medium may not set a medium label: it makes the lock as the system
        // would, which serves its own level.
        if (!mutex && error != ERROR_ACCESS_DENIED && attributes.lpSecurityDescriptor) {
            ::SetLastError(ERROR_SUCCESS);
            mutex = ::CreateMutexExW(nullptr, name_.c_str(), CREATE_MUTEX_INITIAL_OWNER, kLockAccess);
            error = ::GetLastError();
        }
        return mutex;
    }

    const std::wstring name_;
    const std::wstring windowClass_;
    const UINT showMessage_;
    const UINT restoreMessage_;
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

} // namespace

std::unique_ptr<InstanceApi> NewWin32InstanceLock(std::wstring name, std::wstring windowClass, unsigned showMessage,
                                                  unsigned restoreMessage)
{
    return std::make_unique<Win32InstanceLock>(std::move(name), std::move(windowClass), showMessage, restoreMessage);
}

} // namespace tw
