#include "Paths.h"

#include "Wait.h"

#include <gtest/gtest.h>

#include <atomic>

namespace tw::e2e {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int count = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), count);
    return out;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

std::wstring EnvironmentVariable(const wchar_t* name) {
    wchar_t buf[MAX_PATH * 2]{};
    const DWORD n = GetEnvironmentVariableW(name, buf, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buf, n) : std::wstring();
}

// Deletes `path` and everything below it. Attributes are cleared first: tests hide files
// (hidden, system, read-only), and DeleteFile refuses a read-only file.
bool RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    bool ok = true;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                ok = RemoveTree(child) && ok;
            } else {
                ok = DeleteFileW(child.c_str()) && ok;
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(path.c_str()) && ok;
}

} // namespace

std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }
std::wstring AnsiToWide(std::string_view text) { return ToWide(CP_ACP, text); }
std::string WideToAnsi(std::wstring_view text) { return FromWide(CP_ACP, text); }

std::wstring WindowsPath(std::string_view buildPath) {
    std::wstring path = Utf8ToWide(buildPath);
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (!path.empty() && path[0] == L'\\') {
        path.insert(0, L"Z:");
    }
    return path;
}

std::wstring TarnwickExe() {
    const std::wstring fromEnv = EnvironmentVariable(L"TW_TARNWICK_EXE");
    if (!fromEnv.empty()) {
        return WindowsPath(WideToUtf8(fromEnv));
    }
    return WindowsPath(TW_TARNWICK_EXE);
}

std::wstring QuoteArg(std::wstring_view arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring_view::npos) {
        return std::wstring(arg);
    }
    // Backslashes are literal except before a quote, where each must be doubled.
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

TempFolder::TempFolder(std::wstring_view tag) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, temp);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring candidate = std::wstring(temp) + std::wstring(tag) + L"-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount() % 100000);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = std::move(candidate);
            return;
        }
    }
    ADD_FAILURE() << "could not create a temporary folder under " << WideToUtf8(temp);
}

TempFolder::~TempFolder() {
    if (path_.empty()) {
        return;
    }
    // A program that has just exited may still hold its files for a moment under Wine.
    if (WaitUntil([&] { return RemoveTree(path_) || GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES; },
                  Ms(2000))) {
        return;
    }
    ADD_FAILURE() << "could not remove " << WideToUtf8(path_) << " (error " << GetLastError() << ")";
}

} // namespace tw::e2e
