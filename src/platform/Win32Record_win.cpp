#include "platform/Win32Platform.h"
#include "platform/WideText.h"
#include "platform/ui/Handles.h"
#include "platform/ui/Text.h"

#include <windows.h>

#include <vector>

namespace tw {

namespace {

constexpr std::size_t kLargestRecord = 4u << 20;

class Win32IdentityApi final : public IdentityApi {
public:
    std::uint64_t ProcessCreationTime(std::uint32_t pid) override
    {
        // The limited right is all GetProcessTimes needs and is granted even for elevated
        // processes, which the full query right is not.
        ui::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process)
            return 0;
        FILETIME created{}, exited{}, kernel{}, user{};
        if (!::GetProcessTimes(process.Get(), &created, &exited, &kernel, &user))
            return 0;
        return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    }

    std::optional<std::string> ProcessImagePath(std::uint32_t pid) override
    {
        // The limited right is granted for most elevated processes too; the wide call gives
        // a path in any language exactly.
        ui::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process)
            return std::nullopt;
        // A path may be as long as the system allows any (32767 units), not just MAX_PATH.
        std::vector<wchar_t> path(32768, L'\0');
        DWORD length = static_cast<DWORD>(path.size());
        if (!::QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length) || length == 0)
            return std::nullopt;
        return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), length));
    }
};

class Win32StoreApi final : public StoreApi {
public:
    FileRead ReadAll(const std::string& path, std::string& contents) override
    {
        HANDLE file = ::CreateFileW(ui::FromAnsi(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Absent
                                                                                  : FileRead::Unreadable;
        }
        ui::UniqueHandle guard(file);
        contents.clear();
        char chunk[65536];
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file, chunk, sizeof chunk, &got, nullptr))
                return FileRead::Unreadable;
            // The record is a few lines; what lies beyond a size no record of ours reaches is
            // not read (the line it cuts is left out as a line cut short).
            if (got == 0 || contents.size() >= kLargestRecord)
                return FileRead::Read;
            contents.append(chunk, got);
        }
    }

    void Pause(unsigned ms) override { ::Sleep(ms); }

    // The settings file is replaced the same way: a temporary file beside it, flushed, then
    // moved over it, so a crash of the system leaves one whole record or the other.
    bool ReplaceAll(const std::string& path, const std::string& contents) override
    {
        return Win32Profile().ReplaceWholeFile(path, contents);
    }
};

} // namespace

IdentityApi& Win32Identity() { return TheOne<Win32IdentityApi>(); }
StoreApi& Win32Store() { return TheOne<Win32StoreApi>(); }

} // namespace tw
