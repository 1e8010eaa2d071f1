// Paths and text at the edge between the build (Unix paths, UTF-8) and the Windows side.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::e2e {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// Bytes in the ANSI code page of this process (as other programs' titles are stored) and back.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// A path as CMake gives it (/work/...) in Wine's Windows view (Z:\work\...); Z: is the Unix
// root in every Wine prefix. A path that already has a drive letter is returned as it is.
std::wstring WindowsPath(std::string_view buildPath);

// Tarnwick.exe as built: $TW_TARNWICK_EXE when set (Windows or Unix path), else the build's.
std::wstring TarnwickExe();

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArg(std::wstring_view arg);

#ifdef TW_HELPERS_DIR
// A helper exe built from helpers/<name>.cpp beside the test (TW_HELPERS_DIR is set per test
// target by CMake, hence inline).
inline std::wstring HelperExe(std::wstring_view name) {
    return WindowsPath(TW_HELPERS_DIR) + L"\\" + std::wstring(name) + L".exe";
}
#endif

// A fresh, empty folder under the user's temporary folder, removed with all its contents
// when the object goes (retrying a moment while a program that just exited lets go of it).
class TempFolder {
public:
    explicit TempFolder(std::wstring_view tag = L"tw-e2e");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring File(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

private:
    std::wstring path_;
};

} // namespace tw::e2e

// Skips the current test when this process does not run under ANSI code page `cp`
// (CTest starts a test once per code page it asks for).
#define TW_REQUIRE_CODEPAGE(cp)                                                                 \
    do {                                                                                        \
        if (::GetACP() != static_cast<UINT>(cp)) {                                              \
            GTEST_SKIP() << "needs ANSI code page " << (cp) << ", runs under " << ::GetACP();  \
        }                                                                                       \
    } while (0)
