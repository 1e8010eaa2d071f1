// The real operating system behind the portable interfaces of Platform.h. Each accessor
// returns one process-wide object; they hold no state of their own worth resetting.
#pragma once

#include "platform/Platform.h"

struct HINSTANCE__;   // HMODULE, without <windows.h> here

namespace tw {

// A DLL from the system folder by its full path, never one planted beside the program or in
// the current folder; null when it is not there.
HINSTANCE__* LoadSystemLibrary(const wchar_t* name);

// A call that `module` exports, looked up at run time: for calls that an older system lacks,
// and for DLLs loaded only when a feature first needs them. Null when the module is null or
// does not export `name`.
void* ExportedCall(HINSTANCE__* module, const char* name);
template <typename F>
F Bound(HINSTANCE__* module, const char* name)
{
    return reinterpret_cast<F>(ExportedCall(module, name));
}

// How each accessor keeps its object: made at the first call (safely, whichever thread makes
// it), destroyed at exit. An object that a thread of its own may still use while the process
// ends is made with `new` instead, and never destroyed.
template <class Impl>
Impl& TheOne()
{
    static Impl api;
    return api;
}

// The full path of this executable, however long; empty when the system cannot say.
std::wstring ModuleFileName();

WindowApi& Win32Windows();
ProcessApi& Win32Processes();
HotKeyApi& Win32HotKeys();
ProfileApi& Win32Profile();
FileApi& Win32Files();
IdentityApi& Win32Identity();
StoreApi& Win32Store();
RegistryApi& Win32Registry();
// Its requests run on a thread of its own, started by the first one.
AudioApi& Win32Audio();

// The session's one-copy lock `name`, not yet claimed, whose holder shows a main window of
// class `windowClass` that takes the registered messages `showMessage` and `restoreMessage`.
// Destroying it lets the lock go.
std::unique_ptr<InstanceApi> NewWin32InstanceLock(std::wstring name, std::wstring windowClass, unsigned showMessage,
                                                  unsigned restoreMessage);

} // namespace tw
