#include "platform/Win32LateCalls.h"
#include "platform/Win32Platform.h"
#include "platform/WideText.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace tw {

namespace {

// The attribute bits a search's mask decides on: an entry that carries one of them which
// the mask does not admit is skipped. Read-only and archive entries are always found.
constexpr DWORD kSpecialBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x08 /* volume label */ |
                               FILE_ATTRIBUTE_DIRECTORY;

// The shell's calls need COM on the calling thread.
const ShellCalls& ShellWithCom()
{
    OleInApartment();
    return Shell();
}

// Paths travel as UTF-8 and meet the system as UTF-16.
std::wstring Wide(std::string_view utf8)
{
    std::u16string wide = Utf16FromUtf8(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string Utf8(const wchar_t* wide, std::size_t length)
{
    return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide), length));
}

std::string Utf8(const wchar_t* wide) { return Utf8(wide, std::wcslen(wide)); }

// The program named by the first argument of a command line, quoted or not.
std::string ProgramOf(const std::string& commandLine)
{
    if (!commandLine.empty() && commandLine[0] == '"') {
        std::size_t end = commandLine.find('"', 1);
        return commandLine.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    }
    return commandLine.substr(0, commandLine.find(' '));
}

// "X:\..." or "\\server\...": nothing is left for the system to look up.
bool IsFullPath(const std::string& path)
{
    return (path.size() > 2 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
}

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            ::FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

class Win32FileApi final : public FileApi {
public:
    std::string SystemDirectory() override
    {
        wchar_t buf[MAX_PATH + 1]{};
        UINT n = ::GetSystemDirectoryW(buf, MAX_PATH);
        return Utf8(buf, n <= MAX_PATH ? n : 0);
    }

    std::string WindowsDirectory() override
    {
        wchar_t buf[MAX_PATH + 1]{};
        UINT n = ::GetWindowsDirectoryW(buf, MAX_PATH);
        return Utf8(buf, n <= MAX_PATH ? n : 0);
    }

    // WinExec would do, but it looks the program up in the program's own folder and the
    // current folder before the system folder, so an attrib.exe planted next to us would run
    // in its place. CreateProcess with the program's full path as the application name
    // searches nowhere. It also hands us the process, so that the worker that runs the file
    // commands can wait for it: a tick and its clearing then apply in the order they were
    // given. One that is stuck past its bound is ended rather than left to apply later.
    bool RunHidden(const std::string& commandLine, unsigned waitMs) override
    {
        std::string program = ProgramOf(commandLine);
        if (!IsFullPath(program))
            return false;
        std::wstring folder = Wide(FolderOf(program));
        std::wstring wideProgram = Wide(program);
        // The wide call: the path argument must reach attrib exactly, not as the ANSI code
        // page's guess at it, which may name another file or be a wildcard.
        std::wstring wideLine = Wide(commandLine);
        std::vector<wchar_t> line(wideLine.begin(), wideLine.end());
        line.push_back(L'\0');
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(wideProgram.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            return false;
        ::CloseHandle(pi.hThread);
        if (::WaitForSingleObject(pi.hProcess, waitMs) != WAIT_OBJECT_0) {
            ::TerminateProcess(pi.hProcess, 1);
            ::WaitForSingleObject(pi.hProcess, waitMs);
        }
        ::CloseHandle(pi.hProcess);
        return true;
    }

    // Only "not found" means gone: a path that is refused or out of reach (a share that
    // dropped) still holds whatever it held, and must not be taken for restored.
    std::optional<std::uint32_t> FileAttributes(const std::string& path, bool& missing) override
    {
        DWORD attrs = ::GetFileAttributesW(Wide(path).c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES) {
            missing = false;
            return attrs;
        }
        DWORD error = ::GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }

    // ShellExecute may hand the verb to a shell extension that is a COM object; on a thread
    // without COM such an extension fails, or the call does not come back.
    void ShellOpen(Hwnd owner, const std::string& file, const std::string& parameters) override
    {
        if (auto open = ShellWithCom().ShellExecuteW)
            open(reinterpret_cast<HWND>(owner), L"open", Wide(file).c_str(), Wide(parameters).c_str(), nullptr,
                 SW_SHOWNORMAL);
    }

    std::uint32_t GetLogicalDrives() override { return ::GetLogicalDrives(); }

    std::string GetLogicalDriveStringsA() override
    {
        DWORD size = ::GetLogicalDriveStringsA(0, nullptr);
        if (size == 0)
            return std::string(1, '\0');
        std::string list(size + 1, '\0');
        DWORD n = ::GetLogicalDriveStringsA(size, list.data());
        if (n == 0 || n > size)
            return std::string(1, '\0');
        list.resize(n + 1);   // the roots and the NUL that ends the list
        return list;
    }

    unsigned GetDriveTypeA(const std::string& root) override { return ::GetDriveTypeA(root.c_str()); }

    bool FindFiles(const std::string& pattern, std::uint32_t attributeMask,
                   const std::function<bool(const FindEntry&)>& each) override
    {
        WIN32_FIND_DATAW data{};
        std::wstring widePattern = Wide(pattern);
        // The basic form skips the short names we never show, and a large fetch asks the
        // file system for many entries per call: both matter in a folder of thousands.
        HANDLE h = ::FindFirstFileExW(widePattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
        if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_INVALID_PARAMETER)
            h = ::FindFirstFileW(widePattern.c_str(), &data);
        FindHandle search(h);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        bool any = false;
        do {
            if ((data.dwFileAttributes & kSpecialBits) & ~attributeMask)
                continue;
            any = true;
            if (!each(FindEntry{Utf8(data.cFileName), data.dwFileAttributes}))
                break;
        } while (::FindNextFileW(h, &data));
        return any;
    }

    std::uint32_t ShellAttributes(const std::string& path, std::uint32_t mask) override
    {
        const ShellCalls& shell = ShellWithCom();
        IShellFolder* desktop = nullptr;
        if (!shell.SHGetDesktopFolder || !Ole().CoTaskMemFree || FAILED(shell.SHGetDesktopFolder(&desktop)) ||
            !desktop)
            return 0;
        std::wstring wide = Wide(path);
        ULONG attrs = mask;
        PIDLIST_RELATIVE pidl = nullptr;
        HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &pidl, &attrs);
        if (pidl)
            Ole().CoTaskMemFree(pidl);   // the shell's allocator is the COM task allocator
        desktop->Release();
        // A path the shell cannot parse has no attributes we could trust: the request mask
        // would otherwise come back as if every bit (folder, compressed, link ...) were set.
        return SUCCEEDED(hr) ? attrs : 0;
    }

    int SmallIconIndex(const std::string& path, unsigned flags) override
    {
        const ShellCalls& shell = ShellWithCom();
        SHFILEINFOW info{};
        DWORD_PTR ok = shell.SHGetFileInfoW ? shell.SHGetFileInfoW(Wide(path).c_str(), 0, &info, sizeof(info), flags) : 0;
        return ok ? info.iIcon : -1;
    }

    int TypeIconIndex(const std::string& path, bool folder, unsigned flags) override
    {
        const ShellCalls& shell = ShellWithCom();
        SHFILEINFOW info{};
        DWORD attrs = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        DWORD_PTR ok = shell.SHGetFileInfoW ? shell.SHGetFileInfoW(Wide(path).c_str(), attrs, &info, sizeof(info),
                                                                   flags | SHGFI_USEFILEATTRIBUTES)
                                            : 0;
        return ok ? info.iIcon : -1;
    }

    std::uintptr_t SmallImageList() override
    {
        const ShellCalls& shell = ShellWithCom();
        SHFILEINFOW info{};
        if (!shell.SHGetFileInfoW)
            return 0;
        return static_cast<std::uintptr_t>(
            shell.SHGetFileInfoW(L"", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    }

    int OverlayIndex(bool link) override
    {
        const ShellCalls& shell = ShellWithCom();
        return shell.SHGetIconOverlayIndexW ? shell.SHGetIconOverlayIndexW(nullptr, link ? IDO_SHGIOI_LINK : IDO_SHGIOI_SHARE)
                                            : -1;
    }

    // Without WC_NO_BEST_FIT_CHARS, "ā" would come back as "a": another file's name.
    std::optional<std::string> PathToAnsi(const std::string& path) override
    {
        std::wstring wide = Wide(path);
        if (wide.empty())
            return std::string();
        int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                      0, nullptr, nullptr);
        if (n <= 0)
            return std::nullopt;
        std::string ansi(static_cast<std::size_t>(n), '\0');
        BOOL defaulted = FALSE;
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                              nullptr, &defaulted);
        if (defaulted)
            return std::nullopt;
        return ansi;
    }

    std::string AnsiToPath(const std::string& ansi) override
    {
        if (ansi.empty())
            return std::string();
        int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
        if (n <= 0)
            return std::string();
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
        return Utf8(wide.data(), wide.size());
    }
};

} // namespace

FileApi& Win32Files()
{
    // Never destroyed: the picker lists folders on threads of their own, and one still
    // searching a slow folder may call in while the process runs its exit.
    static auto* api = new Win32FileApi;
    return *api;
}

} // namespace tw
