// The current user's registry. Key and value names are ours or numbers, so the ANSI calls
// serve them; a text value is read wide, since a tray tip may hold any character.
#include "platform/Win32LateCalls.h"
#include "platform/Win32Platform.h"
#include "platform/WideText.h"
#include "platform/ui/Text.h"

#include <windows.h>
#include <objbase.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace tw {

namespace {

class Key {
public:
    Key(const std::string& path, REGSAM access)
    {
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key()
    {
        if (key_)
            ::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

class Win32RegistryApi final : public RegistryApi {
public:
    std::optional<std::vector<std::string>> SubKeys(const std::string& path) override
    {
        Key key(path, KEY_ENUMERATE_SUB_KEYS);
        if (!key.Get())
            return std::nullopt;
        std::vector<std::string> names;
        for (DWORD index = 0;; ++index) {
            char name[256]{};   // key names are at most 255 characters
            DWORD length = sizeof name;
            LONG rc = ::RegEnumKeyExA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS)
                return names;
            if (rc != ERROR_SUCCESS)
                return std::nullopt;
            names.emplace_back(name, length);
        }
    }

    std::optional<std::size_t> SubKeyCount(const std::string& path) override
    {
        Key key(path, KEY_QUERY_VALUE);
        DWORD count = 0;
        if (!key.Get() || ::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return std::nullopt;
        return count;
    }

    std::optional<std::string> ReadString(const std::string& path, const std::string& name) override
    {
        Key key(path, KEY_QUERY_VALUE);
        const std::wstring wideName = ui::FromAnsi(name);
        DWORD type = 0, size = 0;
        if (!key.Get() || ::RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        // The value may change between the two calls; one larger than first said is not read.
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        if (::RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                               &got) != ERROR_SUCCESS)
            return std::nullopt;
        // A stored string need not end in NUL.
        text.resize(::wcsnlen(text.data(), got / sizeof(wchar_t)));
        return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
    }

    std::optional<std::uint32_t> ReadDword(const std::string& path, const std::string& name) override
    {
        Key key(path, KEY_QUERY_VALUE);
        DWORD type = 0, value = 0, size = sizeof value;
        if (!key.Get() ||
            ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof value)
            return std::nullopt;
        return value;
    }

    bool WriteDword(const std::string& path, const std::string& name, std::optional<std::uint32_t> value) override
    {
        Key key(path, KEY_SET_VALUE);
        if (!key.Get())
            return false;
        if (!value) {
            LONG rc = ::RegDeleteValueA(key.Get(), name.c_str());
            return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
        }
        DWORD data = *value;
        return ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
               ERROR_SUCCESS;
    }

    bool WriteString(const std::string& path, const std::string& name, std::optional<std::string> value) override
    {
        const std::wstring wideName = ui::FromAnsi(name);
        HKEY raw = nullptr;
        if (!value) {
            // Only a key that is not there has no value; one we may not open may well have it.
            LONG rc = ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &raw);
            if (rc != ERROR_SUCCESS)
                return rc == ERROR_FILE_NOT_FOUND;
            rc = ::RegDeleteValueW(raw, wideName.c_str());
            ::RegCloseKey(raw);
            return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
        }
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const std::u16string text = Utf16FromUtf8(*value);
        const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));   // with its NUL
        LONG rc = ::RegSetValueExW(raw, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
        ::RegCloseKey(raw);
        return rc == ERROR_SUCCESS;
    }

    std::optional<std::string> KnownFolderPath(const std::string& id) override
    {
        // Only the Windows 11 shell's settings name folders this way, so most runs never load
        // shell32 and ole32 for it.
        const ShellCalls& shell = Shell();
        const OleCalls& ole = Ole();
        if (!shell.SHGetKnownFolderPath || !ole.CLSIDFromString || !ole.CoTaskMemFree)
            return std::nullopt;
        std::wstring wide = ui::FromAnsi(id);
        GUID folder{};
        if (FAILED(ole.CLSIDFromString(wide.c_str(), &folder)))
            return std::nullopt;
        PWSTR path = nullptr;
        const HRESULT hr = shell.SHGetKnownFolderPath(folder, KF_FLAG_DONT_VERIFY, nullptr, &path);
        std::optional<std::string> out;
        if (SUCCEEDED(hr) && path)
            out = Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(path), ::wcslen(path)));
        ole.CoTaskMemFree(path);   // owed even when the call failed
        return out ? out : Native64BitFolder(folder);
    }

private:
    // The 64-bit program folders are refused to a 32-bit program such as this one, yet the
    // shell names 64-bit programs by them; the system tells their paths to it through the
    // environment instead.
    static std::optional<std::string> Native64BitFolder(const GUID& folder)
    {
        const wchar_t* variable = ::IsEqualGUID(folder, FOLDERID_ProgramFilesX64)      ? L"ProgramW6432"
                                  : ::IsEqualGUID(folder, FOLDERID_ProgramFilesCommonX64) ? L"CommonProgramW6432"
                                                                                           : nullptr;
        wchar_t path[MAX_PATH]{};
        const DWORD length = variable ? ::GetEnvironmentVariableW(variable, path, MAX_PATH) : 0;
        if (length == 0 || length >= MAX_PATH)
            return std::nullopt;
        return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(path), length));
    }
};

} // namespace

RegistryApi& Win32Registry() { return TheOne<Win32RegistryApi>(); }

} // namespace tw
