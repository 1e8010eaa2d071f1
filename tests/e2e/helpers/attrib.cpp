// A stand-in for the system's attrib.exe in the test prefix's system folder.
//
// Wine's own attrib applies only the last of several flags ("attrib +h +s x" sets only the
// system attribute), while a real system applies them all. Tarnwick is written for the real
// one, so the files test puts this program in place of Wine's: it appends the exact command
// line it was started with to the file named by TW_ATTRIB_LOG (UTF-8, one line each), then
// applies every +/- h, s, r, a flag to the entry named by the last argument, as attrib does.
// Without TW_ATTRIB_LOG it only applies the flags. While a file named like the log with
// ".sleep" added exists, it first sleeps as many milliseconds as that file says, as an
// attrib on a slow drive would. While one with ".refuse" added exists, it changes nothing
// and still ends with 0, as the real attrib does on a file another program holds open.
//
// Like the real attrib, it leaves an entry whose hidden or system attribute is set alone
// unless the command names that attribute too ("attrib -s" on a hidden system file, "attrib
// +s" on a hidden one): it prints "Not resetting hidden file - PATH" (or "... system file
// ..."), changes nothing and ends with 0.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

void Record(const wchar_t* commandLine)
{
    wchar_t log[MAX_PATH]{};
    DWORD n = GetEnvironmentVariableW(L"TW_ATTRIB_LOG", log, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, line.data(), bytes, nullptr, nullptr);
    line.back() = '\n';   // in place of the NUL
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

DWORD FlagBit(wchar_t letter)
{
    switch (letter | 0x20) {
    case L'h': return FILE_ATTRIBUTE_HIDDEN;
    case L's': return FILE_ATTRIBUTE_SYSTEM;
    case L'r': return FILE_ATTRIBUTE_READONLY;
    case L'a': return FILE_ATTRIBUTE_ARCHIVE;
    default: return 0;
    }
}

// The text of the marker file named like the log with `suffix` added; false without one.
bool ReadMarker(const wchar_t* suffix, char (&text)[16])
{
    wchar_t log[MAX_PATH]{};
    DWORD n = GetEnvironmentVariableW(L"TW_ATTRIB_LOG", log, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 8)
        return false;
    std::wstring marker = std::wstring(log) + suffix;
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    return true;
}

void Print(const std::wstring& text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE)
        return;
    std::wstring line = text + L"\r\n";
    int bytes = WideCharToMultiByte(CP_OEMCP, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string oem(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, line.c_str(), -1, oem.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, oem.data(), static_cast<DWORD>(oem.size() - 1), &written, nullptr);
}

// After the command is recorded, so that a test can tell it has started.
void SleepIfAsked()
{
    char text[16]{};
    if (ReadMarker(L".sleep", text))
        Sleep(static_cast<DWORD>(strtoul(text, nullptr, 10)));
}

} // namespace

int main()
{
    const wchar_t* commandLine = GetCommandLineW();
    Record(commandLine);
    SleepIfAsked();
    char refuse[16]{};
    if (ReadMarker(L".refuse", refuse))
        return 0;

    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv)
        return 2;
    DWORD set = 0;
    DWORD clear = 0;
    std::wstring target;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg.size() == 2 && (arg[0] == L'+' || arg[0] == L'-'))
            (arg[0] == L'+' ? set : clear) |= FlagBit(arg[1]);
        else
            target = arg;
    }
    LocalFree(argv);

    DWORD attrs = GetFileAttributesW(target.c_str());
    if (target.empty() || attrs == INVALID_FILE_ATTRIBUTES)
        return 1;   // "File not found"
    const DWORD named = set | clear;
    const DWORD unnamed = attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) & ~named;
    if (named && unnamed) {
        Print(std::wstring((unnamed & FILE_ATTRIBUTE_SYSTEM) ? L"Not resetting system file - "
                                                              : L"Not resetting hidden file - ") +
              target);
        return 0;
    }
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD next = ((attrs & settable) | set) & ~clear;
    return SetFileAttributesW(target.c_str(), next ? next : FILE_ATTRIBUTE_NORMAL) ? 0 : 3;
}
