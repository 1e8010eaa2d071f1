// The calls of the system DLLs that the program loads only when a feature first needs them.
// The tool window opens without ole32 and shell32, and many runs never touch the shell, the
// known folders or the audio sessions at all. Each table is bound once, by whichever thread
// asks first; a member is null where the system lacks the call.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace tw {

struct OleCalls {
    decltype(&::CoInitializeEx) CoInitializeEx = nullptr;
    decltype(&::CoCreateInstance) CoCreateInstance = nullptr;
    decltype(&::CoTaskMemFree) CoTaskMemFree = nullptr;
    decltype(&::CLSIDFromString) CLSIDFromString = nullptr;
};
const OleCalls& Ole();

// The same, with COM started on the calling thread in the single-threaded apartment that the
// shell and its objects expect. It is started once per thread and left running until the
// process ends: interfaces the shell hands out may outlive any one caller, and a thread
// already in another apartment simply keeps it, COM still serving.
const OleCalls& OleInApartment();

struct ShellCalls {
    decltype(&::SHGetDesktopFolder) SHGetDesktopFolder = nullptr;
    decltype(&::SHGetFileInfoW) SHGetFileInfoW = nullptr;
    decltype(&::SHGetIconOverlayIndexW) SHGetIconOverlayIndexW = nullptr;
    decltype(&::ShellExecuteW) ShellExecuteW = nullptr;
    decltype(&::SHGetKnownFolderPath) SHGetKnownFolderPath = nullptr;
};
const ShellCalls& Shell();

} // namespace tw
