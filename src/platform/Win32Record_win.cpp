#include "platform/Win32Platform.h"
#include "platform/ui/Text.h"

#include <windows.h>

namespace tw {

namespace {

// A kernel handle (a process, a file), closed on every path.
class KernelHandle {
public:
    explicit KernelHandle(HANDLE h) : h_(h) {}
    ~KernelHandle()
    {
        if (h_)
            ::CloseHandle(h_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

class Win32IdentityApi final : public IdentityApi {
public:
    std::uint64_t ProcessCreationTime(std::uint32_t pid) override
    {
        // The limited right is all GetProcessTimes needs and is granted even for elevated
        // processes; systems before Vista know only the full query right.
        KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        KernelHandle fallback(process.Get() ? nullptr : ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
        HANDLE h = process.Get() ? process.Get() : fallback.Get();
        if (!h)
            return 0;
        FILETIME created{}, exited{}, kernel{}, user{};
        if (!::GetProcessTimes(h, &created, &exited, &kernel, &user))
            return 0;
        return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    }
};

class Win32StoreApi final : public StoreApi {
public:
    std::optional<std::string> ReadAll(const std::string& path) override
    {
        HANDLE file = ::CreateFileW(ui::FromAnsi(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return std::nullopt;
        KernelHandle guard(file);
        std::string contents;
        char chunk[4096];
        DWORD got = 0;
        // The record is a few lines; a file far larger than any record is not one.
        while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0 && contents.size() < (1u << 20))
            contents.append(chunk, got);
        return contents;
    }

    bool ReplaceAll(const std::string& path, const std::string& contents) override
    {
        const std::wstring target = ui::FromAnsi(path);
        const std::wstring temporary = target + L".tmp";
        if (!WriteWhole(temporary, contents)) {
            ::DeleteFileW(temporary.c_str());
            return false;
        }
        if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        ::DeleteFileW(temporary.c_str());
        return false;
    }

private:
    static bool WriteWhole(const std::wstring& path, const std::string& contents)
    {
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        KernelHandle guard(file);
        DWORD written = 0;
        if (!contents.empty() &&
            (!::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) ||
             written != contents.size()))
            return false;
        // On the disk before it replaces the old record: a crash of the system must leave
        // one whole record or the other.
        return ::FlushFileBuffers(file) != FALSE;
    }
};

} // namespace

IdentityApi& Win32Identity()
{
    static Win32IdentityApi api;
    return api;
}

StoreApi& Win32Store()
{
    static Win32StoreApi api;
    return api;
}

} // namespace tw
