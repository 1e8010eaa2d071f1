#include "platform/Win32LateCalls.h"

#include "platform/Win32Platform.h"

#include <string>

namespace tw {

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t dir[MAX_PATH]{};
    UINT n = ::GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    std::wstring path(dir, n);
    path += L'\\';
    path += name;
    return ::LoadLibraryW(path.c_str());
}

void* ExportedCall(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<void*>(::GetProcAddress(module, name)) : nullptr;
}

const OleCalls& Ole()
{
    static const OleCalls calls = [] {
        OleCalls c;
        HMODULE ole = LoadSystemLibrary(L"ole32.dll");
        c.CoInitializeEx = Bound<decltype(c.CoInitializeEx)>(ole, "CoInitializeEx");
        c.CoCreateInstance = Bound<decltype(c.CoCreateInstance)>(ole, "CoCreateInstance");
        c.CoTaskMemFree = Bound<decltype(c.CoTaskMemFree)>(ole, "CoTaskMemFree");
        c.CLSIDFromString = Bound<decltype(c.CLSIDFromString)>(ole, "CLSIDFromString");
        return c;
    }();
    return calls;
}

const OleCalls& OleInApartment()
{
    const OleCalls& calls = Ole();
    thread_local bool started = false;
    if (!started && calls.CoInitializeEx) {
        calls.CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        started = true;
    }
    return calls;
}

const ShellCalls& Shell()
{
    static const ShellCalls calls = [] {
        ShellCalls c;
        HMODULE shell = LoadSystemLibrary(L"shell32.dll");
        c.SHGetDesktopFolder = Bound<decltype(c.SHGetDesktopFolder)>(shell, "SHGetDesktopFolder");
        c.SHGetFileInfoW = Bound<decltype(c.SHGetFileInfoW)>(shell, "SHGetFileInfoW");
        c.SHGetIconOverlayIndexW = Bound<decltype(c.SHGetIconOverlayIndexW)>(shell, "SHGetIconOverlayIndexW");
        c.ShellExecuteW = Bound<decltype(c.ShellExecuteW)>(shell, "ShellExecuteW");
        c.SHGetKnownFolderPath = Bound<decltype(c.SHGetKnownFolderPath)>(shell, "SHGetKnownFolderPath");
        return c;
    }();
    return calls;
}

} // namespace tw
