#include "platform/Win32Platform.h"
#include "platform/ui/Text.h"

#include <windows.h>

#include <vector>

namespace tw {

namespace {

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

// The wide functions, with our ANSI texts converted at the door: they are the system's own,
// and values of any length come back whole through them (Wine's ANSI ones lose values of
// 32767 characters and more). Every text the program stores is ASCII, so the file reads
// the same either way.
class Win32ProfileApi final : public ProfileApi {
public:
    std::string ExecutableDir() override
    {
        std::wstring file = ModuleFileName();
        std::wstring dir = file.substr(0, file.find_last_of(L"\\/") + 1);
        std::string ansi;
        if (ToAnsiExact(dir, ansi))
            return ansi;
        // A folder name outside the ANSI code page: its short (8.3) form is plain ASCII
        // when the volume keeps short names. Failing that, the lossy name at least lets a
        // failed write report where it tried to write.
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

    std::optional<std::string> ReadString(const std::string& path, const std::string& section,
                                          const std::string& key) override
    {
        std::wstring file = ui::FromAnsi(path), sec = ui::FromAnsi(section), name = ui::FromAnsi(key);
        std::wstring value = ReadWhole(file, sec, name, kAbsentA);
        if (value == kAbsentA && ReadWhole(file, sec, name, kAbsentB) == kAbsentB)
            return std::nullopt;
        return Narrow(value);
    }

    bool WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override
    {
        return ::WritePrivateProfileStringW(ui::FromAnsi(section).c_str(), ui::FromAnsi(key).c_str(), ui::FromAnsi(value).c_str(),
                                            ui::FromAnsi(path).c_str()) != FALSE;
    }
};

} // namespace

ProfileApi& Win32Profile()
{
    static Win32ProfileApi api;
    return api;
}

} // namespace tw
