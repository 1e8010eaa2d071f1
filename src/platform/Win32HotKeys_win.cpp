#include "platform/Win32Platform.h"

#include <windows.h>

namespace tw {

namespace {

class Win32HotKeyApi final : public HotKeyApi {
public:
    std::uint16_t GlobalAddAtomA(const char* name) override { return ::GlobalAddAtomA(name); }
    void GlobalDeleteAtom(std::uint16_t atom) override { ::GlobalDeleteAtom(atom); }
    bool RegisterHotKey(Hwnd owner, int id, unsigned modifiers, unsigned vk) override
    {
        return ::RegisterHotKey(reinterpret_cast<HWND>(owner), id, modifiers, vk) != FALSE;
    }
    bool UnregisterHotKey(Hwnd owner, int id) override
    {
        return ::UnregisterHotKey(reinterpret_cast<HWND>(owner), id) != FALSE;
    }
};

} // namespace

HotKeyApi& Win32HotKeys() { return TheOne<Win32HotKeyApi>(); }

} // namespace tw
