#include "platform/Win32LateCalls.h"
#include "platform/Win32Platform.h"

#include "platform/ui/Text.h"

#include <windows.h>
#include <dwmapi.h>

namespace tw {

namespace {

HWND H(Hwnd w) { return reinterpret_cast<HWND>(w); }
Hwnd N(HWND w) { return reinterpret_cast<Hwnd>(w); }

// Found at run time: Windows 7 has no cloaking to ask about.
decltype(&::DwmGetWindowAttribute) DwmGetWindowAttributeCall()
{
    static const auto call =
        Bound<decltype(&::DwmGetWindowAttribute)>(LoadSystemLibrary(L"dwmapi.dll"), "DwmGetWindowAttribute");
    return call;
}

// IVirtualDesktopManager, declared here: the SDK declares it only for programs that need
// Windows 10, and this one starts on Windows 7 (where creating it simply fails).
struct VirtualDesktopManager : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE IsWindowOnCurrentVirtualDesktop(HWND window, BOOL* onCurrent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWindowDesktopId(HWND window, GUID* desktop) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveWindowToDesktop(HWND window, REFGUID desktop) = 0;
};
constexpr GUID kVirtualDesktopManagerClass{0xaa509086, 0x5ca9, 0x4c25, {0x8f, 0x95, 0x58, 0x9d, 0x3c, 0x07, 0xb4, 0x8a}};
constexpr GUID kVirtualDesktopManagerInterface{0xa5cd92ff, 0x29be, 0x454c, {0x8d, 0x04, 0xd8, 0x28, 0x79, 0xfb, 0x3f, 0x1b}};

// Long enough for a busy shell to answer a toolbar query, short enough that a hung one
// costs the user a moment rather than the program.
constexpr UINT kMessageTimeoutMs = 3000;

class Win32WindowApi final : public WindowApi {
public:
    Hwnd GetFirstSibling(Hwnd any) override
    {
        return N(any ? ::GetWindow(H(any), GW_HWNDFIRST) : ::GetWindow(::GetDesktopWindow(), GW_CHILD));
    }
    Hwnd GetNextSibling(Hwnd w) override { return N(::GetWindow(H(w), GW_HWNDNEXT)); }
    int GetWindowTextW(Hwnd w, char16_t* buf, int maxCount) override
    {
        return ::GetWindowTextW(H(w), reinterpret_cast<wchar_t*>(buf), maxCount);
    }
    std::string AnsiForm(std::u16string_view wide) override
    {
        return ui::ToAnsi(std::wstring_view(reinterpret_cast<const wchar_t*>(wide.data()), wide.size()));
    }
    std::u16string WideForm(std::string_view ansi) override
    {
        std::wstring wide = ui::FromAnsi(ansi);
        return std::u16string(wide.begin(), wide.end());
    }
    bool IsWindow(Hwnd w) override { return ::IsWindow(H(w)) != FALSE; }
    bool IsWindowVisible(Hwnd w) override { return ::IsWindowVisible(H(w)) != FALSE; }
    bool IsIconic(Hwnd w) override { return ::IsIconic(H(w)) != FALSE; }
    bool IsHungAppWindow(Hwnd w) override { return w != 0 && ::IsHungAppWindow(H(w)) != FALSE; }
    std::optional<bool> IsCloaked(Hwnd w) override
    {
        const auto get = DwmGetWindowAttributeCall();
        DWORD cloaked = 0;
        if (!get || FAILED(get(H(w), DWMWA_CLOAKED, &cloaked, sizeof cloaked)))
            return std::nullopt;
        return cloaked != 0;
    }
    std::optional<bool> IsOnVirtualDesktop(Hwnd w) override
    {
        // A refresh that meets no cloaked window never loads COM at all.
        const OleCalls& com = OleInApartment();
        VirtualDesktopManager* manager = nullptr;
        if (!com.CoCreateInstance || FAILED(com.CoCreateInstance(kVirtualDesktopManagerClass, nullptr,
                                                                 CLSCTX_INPROC_SERVER, kVirtualDesktopManagerInterface,
                                                                 reinterpret_cast<void**>(&manager))) ||
            !manager)
            return std::nullopt;
        // A window the manager does not track is refused with an error: it is on no desktop.
        GUID desktop{};
        const HRESULT placed = manager->GetWindowDesktopId(H(w), &desktop);
        manager->Release();
        return SUCCEEDED(placed) && !::IsEqualGUID(desktop, GUID{});
    }
    bool ShowWindowAsync(Hwnd w, ShowCmd cmd) override { return ::ShowWindowAsync(H(w), static_cast<int>(cmd)) != FALSE; }
    Hwnd FindWindowA(const char* cls) override { return N(::FindWindowA(cls, nullptr)); }
    Hwnd FindChildWindowA(Hwnd parent, const char* cls) override
    {
        return N(::FindWindowExA(H(parent), nullptr, cls, nullptr));
    }
    std::string ClassName(Hwnd w) override
    {
        // Class names are at most 256 characters.
        char name[257]{};
        int length = ::GetClassNameA(H(w), name, sizeof name);
        return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
    }
    std::uint32_t GetWindowProcessId(Hwnd w) override
    {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(H(w), &pid);
        return pid;
    }
    bool SendMessageA(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                      std::intptr_t& result) override
    {
        return SendMessageWithin(w, msg, wParam, lParam, kMessageTimeoutMs, result);
    }
    bool SendMessageWithin(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, unsigned timeoutMs,
                           std::intptr_t& result) override
    {
        DWORD_PTR answer = 0;
        LRESULT ok = ::SendMessageTimeoutA(H(w), msg, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &answer);
        result = ok ? static_cast<std::intptr_t>(answer) : 0;
        return ok != 0;
    }
    bool IsResponding(Hwnd w) override
    {
        // Shorter than other messages' wait: the answer only decides whether to tell the
        // user now, and a busy window is asked again by the next attempt.
        constexpr UINT kRespondingTimeoutMs = 500;
        DWORD_PTR answer = 0;
        return ::SendMessageTimeoutW(H(w), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kRespondingTimeoutMs, &answer) != 0;
    }
    Hwnd GetForegroundWindow() override { return N(::GetForegroundWindow()); }
    Hwnd RootOwner(Hwnd w) override { return N(::GetAncestor(H(w), GA_ROOTOWNER)); }
    bool PlaceBehind(Hwnd w, Hwnd inFront) override
    {
        // Asynchronous: a hung program must not hold us, and queued behind our restore on
        // the window's own thread, the order holds whenever that thread gets to it.
        return ::SetWindowPos(H(w), H(inFront), 0, 0, 0, 0,
                              SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS) != FALSE;
    }
    bool Activate(Hwnd w) override { return ::SetForegroundWindow(H(w)) != FALSE; }
    std::optional<std::uint32_t> IntegrityLevel(std::uint32_t pid) override
    {
        return pid == 0 ? TokenIntegrity(::GetCurrentProcess()) : ProcessIntegrity(pid);
    }

private:
    static std::optional<std::uint32_t> ProcessIntegrity(std::uint32_t pid)
    {
        // The limited right is granted on an elevated program's process to its own user.
        HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (!process)
            return std::nullopt;
        std::optional<std::uint32_t> level = TokenIntegrity(process);
        ::CloseHandle(process);
        return level;
    }
    static std::optional<std::uint32_t> TokenIntegrity(HANDLE process)
    {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
            return std::nullopt;
        // TOKEN_MANDATORY_LABEL and the SID it points at, in one buffer.
        alignas(TOKEN_MANDATORY_LABEL) BYTE buffer[128]{};
        DWORD length = 0;
        std::optional<std::uint32_t> level;
        if (::GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof buffer, &length)) {
            PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
            if (::IsValidSid(sid) && *::GetSidSubAuthorityCount(sid) > 0)
                level = *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1u);
        }
        ::CloseHandle(token);
        return level;
    }
};

// A 32-bit process reaches a 64-bit one's memory above 4 GB only through this call, which
// the system's 32-bit ntdll has on 64-bit Windows alone.
using Wow64ReadFn = LONG(WINAPI*)(HANDLE process, ULONG64 address, void* buffer, ULONG64 size, ULONG64* done);

Wow64ReadFn Wow64Read()
{
    static const Wow64ReadFn fn =
        Bound<Wow64ReadFn>(::GetModuleHandleW(L"ntdll.dll"), "NtWow64ReadVirtualMemory64");
    return fn;
}

// 8 for a 64-bit process seen from this 32-bit one. The shell of 64-bit Windows is one; a
// process we may not ask is taken for the system's own kind, as the shell is.
unsigned PointerSizeOf(std::uint32_t pid)
{
    BOOL ourWow = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &ourWow) || !ourWow)
        return sizeof(void*);
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    BOOL theirWow = FALSE;
    const bool asked = process && ::IsWow64Process(process, &theirWow);
    if (process)
        ::CloseHandle(process);
    return asked && theirWow ? 4 : 8;
}

// The process handle and the memory reserved in that process, released together.
class Win32RemoteBuffer final : public RemoteBuffer {
public:
    Win32RemoteBuffer(HANDLE process, void* base, unsigned pointerSize)
        : process_(process), base_(base), pointerSize_(pointerSize)
    {
    }
    ~Win32RemoteBuffer() override
    {
        ::VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        ::CloseHandle(process_);
    }
    Win32RemoteBuffer(const Win32RemoteBuffer&) = delete;
    Win32RemoteBuffer& operator=(const Win32RemoteBuffer&) = delete;

    std::uintptr_t Address() const override { return reinterpret_cast<std::uintptr_t>(base_); }
    bool Write(std::size_t offset, const void* data, std::size_t length) override
    {
        SIZE_T done = 0;
        return ::WriteProcessMemory(process_, static_cast<char*>(base_) + offset, data, length, &done) &&
               done == length;
    }
    bool Read(std::size_t offset, void* data, std::size_t length) override
    {
        SIZE_T done = 0;
        return ::ReadProcessMemory(process_, static_cast<char*>(base_) + offset, data, length, &done) &&
               done == length;
    }
    bool ReadAt(std::uint64_t address, void* data, std::size_t length) override
    {
        if (address == 0)
            return false;
        if (address + length <= std::uint64_t{UINTPTR_MAX} + 1) {
            SIZE_T done = 0;
            return ::ReadProcessMemory(process_, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)),
                                       data, length, &done) &&
                   done == length;
        }
        Wow64ReadFn read = Wow64Read();
        ULONG64 done = 0;
        return read && read(process_, address, data, length, &done) >= 0 && done == length;
    }
    unsigned PointerSize() const override { return pointerSize_; }

private:
    HANDLE process_;
    void* base_;
    unsigned pointerSize_;
};

OsVersion ReadSystemVersion()
{
    // GetVersionEx answers what the executable's compatibility settings (or a missing
    // manifest entry) make it say; RtlGetVersion reports the system that really runs.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    auto fn = Bound<RtlGetVersionFn>(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    if (fn && fn(&info) == 0)
        return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    return {};
}

class Win32ProcessApi final : public ProcessApi {
public:
    Win32ProcessApi() : version_(ReadSystemVersion()) {}

    std::unique_ptr<RemoteBuffer> ReserveRemoteBuffer(std::uint32_t pid, std::size_t length) override
    {
        HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!process)
            return nullptr;
        void* base = ::VirtualAllocEx(process, nullptr, length, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!base) {
            ::CloseHandle(process);
            return nullptr;
        }
        return std::make_unique<Win32RemoteBuffer>(process, base, PointerSizeOf(pid));
    }
    OsVersion SystemVersion() override { return version_; }
    AudioApi* Audio() override { return &Win32Audio(); }

private:
    OsVersion version_;
};

} // namespace

WindowApi& Win32Windows()
{
    // The virtual-desktop question runs on a thread of its own, which a hung shell may keep
    // inside the call while the process ends.
    static auto* api = new Win32WindowApi;
    return *api;
}
ProcessApi& Win32Processes() { return TheOne<Win32ProcessApi>(); }

} // namespace tw
