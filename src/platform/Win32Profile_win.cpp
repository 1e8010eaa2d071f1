#include "platform/Win32Platform.h"
#include "platform/ui/Text.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace tw {

namespace {

// Names a file of this process's own. Not std::to_wstring, which would bring the C library's
// whole wide printf into the executable for these digits.
std::wstring ProcessIdText() { return ui::FromAnsi(std::to_string(::GetCurrentProcessId())); }

// Two defaults no stored value can plausibly equal: a key is absent only when the system
// hands back each of them in turn (a key whose value happens to be one of them is caught
// by the other).
constexpr wchar_t kAbsentA[] = L"\x01tw:absent:A\x02";
constexpr wchar_t kAbsentB[] = L"\x01tw:absent:B\x02";

constexpr DWORD kFirstBuffer = 256;
// No settings file is ever this large; past it a value is returned as far as it was read.
constexpr DWORD kLargestBuffer = 0x40000000;

// Wide to the ANSI code page; false when some character has no ANSI form, in which case
// the private-profile functions could not find the file under the converted name.
bool ToAnsiExact(const std::wstring& wide, std::string& out)
{
    out.clear();
    if (wide.empty())
        return true;
    BOOL lossy = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                  0, nullptr, &lossy);
    out.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                          nullptr, &lossy);
    return !lossy;
}

std::string Narrow(const std::wstring& wide)
{
    std::string ansi;
    ToAnsiExact(wide, ansi);
    return ansi;
}

// A folder as an ANSI path the private-profile functions can open.
std::string AnsiFolder(const std::wstring& dir)
{
    std::string ansi;
    if (ToAnsiExact(dir, ansi))
        return ansi;
    // A folder name outside the ANSI code page: its short (8.3) form is plain ASCII when the
    // volume keeps short names. Failing that, the lossy name at least lets a failed write
    // report where it tried to write.
    DWORD n = ::GetShortPathNameW(dir.c_str(), nullptr, 0);
    if (n > 0) {
        std::wstring shortDir(n, L'\0');
        n = ::GetShortPathNameW(dir.c_str(), shortDir.data(), n);
        shortDir.resize(n);
        std::string shortAnsi;
        if (n > 0 && ToAnsiExact(shortDir, shortAnsi))
            return shortAnsi;
    }
    return ansi;
}

class UniqueFile {
public:
    explicit UniqueFile(HANDLE h) : h_(h) {}
    ~UniqueFile()
    {
        if (Valid())
            ::CloseHandle(h_);
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

bool ReadAll(HANDLE file, std::string& bytes)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > kLargestBuffer)
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        if (!::ReadFile(file, bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &n, nullptr))
            return false;
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return true;
}

// A file saved as "Unicode" (UTF-16 with its mark) is read by the profile functions too;
// it is edited, and written back, in the ANSI code page the program's values are in.
std::string FromFileText(const std::string& bytes)
{
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE)
        return bytes;
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    std::memcpy(wide.data(), bytes.data() + 2, wide.size() * sizeof(wchar_t));
    return Narrow(wide);
}

// A scanner or an indexer that has just opened either file holds it for a moment; past a
// few tries the file is taken to be held for good. A target open without delete sharing
// (as most readers open it) makes the replace answer "access denied", not a sharing
// violation, so that is tried again too.
bool MoveIntoPlace(const std::wstring& from, const std::wstring& to)
{
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DWORD error = ::GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION && error != ERROR_ACCESS_DENIED) ||
            attempt == 5)
            return false;
        ::Sleep(100);
    }
}

// A value can be no longer than the file that holds it (two characters more for the NUL
// and the truncation test), so one call usually suffices however long the value is.
DWORD FirstBufferFor(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info) || info.nFileSizeHigh != 0)
        return kFirstBuffer;
    if (info.nFileSizeLow >= kLargestBuffer - 2)
        return kLargestBuffer;
    return info.nFileSizeLow + 2 > kFirstBuffer ? info.nFileSizeLow + 2 : kFirstBuffer;
}

std::wstring ReadWhole(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                       const wchar_t* def)
{
    std::vector<wchar_t> buffer;
    for (DWORD size = FirstBufferFor(path);; size = size < kLargestBuffer / 2 ? size * 2 : kLargestBuffer) {
        buffer.assign(size, L'\0');
        DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), def, buffer.data(), size, path.c_str());
        // A value that does not fit comes back cut to size - 1 characters; one that fits
        // exactly looks the same, so that case is read again too.
        if (n < size - 1 || size >= kLargestBuffer)
            return std::wstring(buffer.data(), n);
    }
}

// Values are read with the wide profile functions, our ANSI texts converted at the door:
// they are the system's own, and values of any length come back whole through them (Wine's
// ANSI ones lose values of 32767 characters and more). The file is written whole, as ANSI
// INI text, so the profile functions (and older runs) read it as before; every text the
// program stores is ASCII.
class Win32ProfileApi final : public ProfileApi {
public:
    std::string ExecutableDir() override
    {
        std::wstring file = ModuleFileName();
        return AnsiFolder(file.substr(0, file.find_last_of(L"\\/") + 1));
    }

    std::string AppDataDir() override
    {
        DWORD n = ::GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
        if (n == 0)
            return {};
        std::wstring dir(n, L'\0');
        n = ::GetEnvironmentVariableW(L"APPDATA", dir.data(), n);
        dir.resize(n);
        if (dir.empty())
            return {};
        if (dir.back() != L'\\')
            dir += L'\\';
        return AnsiFolder(dir);
    }

    bool CanCreateFilesIn(const std::string& dir) override
    {
        std::wstring probe = ui::FromAnsi(dir) + L"~tw" + ProcessIdText() + L".tmp";
        HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        ::CloseHandle(h);
        return true;
    }

    bool CreateFolder(const std::string& dir) override
    {
        std::wstring wide = ui::FromAnsi(dir);
        if (::CreateDirectoryW(wide.c_str(), nullptr))
            return true;
        DWORD attrs = ::GetFileAttributesW(wide.c_str());
        return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
    }

    FileRead ReadWholeFile(const std::string& path, std::string& text) override
    {
        UniqueFile file(::CreateFileW(ui::FromAnsi(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Absent
                                                                                  : FileRead::Unreadable;
        }
        std::string bytes;
        if (!ReadAll(file.Get(), bytes))
            return FileRead::Unreadable;
        text = FromFileText(bytes);
        return FileRead::Read;
    }

    bool ReplaceWholeFile(const std::string& path, const std::string& text) override
    {
        std::wstring target = ui::FromAnsi(path);
        std::wstring temp = target + L"." + ProcessIdText() + L".tmp";
        // The user's own marks on the file (hidden, say) stay on the new one.
        DWORD old = ::GetFileAttributesW(target.c_str());
        DWORD keep = old == INVALID_FILE_ATTRIBUTES ? 0 : old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        bool written = false;
        {
            UniqueFile file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          keep ? keep : FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.Valid())
                return false;
            DWORD done = 0;
            written = ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                      done == text.size() && ::FlushFileBuffers(file.Get());
        }
        if (written && MoveIntoPlace(temp, target))
            return true;
        ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(temp.c_str());
        return false;
    }

    void Pause(unsigned ms) override { ::Sleep(ms); }

    std::optional<std::string> ReadString(const std::string& path, const std::string& section,
                                          const std::string& key) override
    {
        std::wstring file = ui::FromAnsi(path), sec = ui::FromAnsi(section), name = ui::FromAnsi(key);
        std::wstring value = ReadWhole(file, sec, name, kAbsentA);
        if (value == kAbsentA && ReadWhole(file, sec, name, kAbsentB) == kAbsentB)
            return std::nullopt;
        return Narrow(value);
    }

};

} // namespace

std::wstring ModuleFileName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);   // truncated: a long path
    }
}

ProfileApi& Win32Profile() { return TheOne<Win32ProfileApi>(); }

} // namespace tw
