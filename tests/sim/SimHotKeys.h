// The system's global hot keys and atom table, for the native unit tests: atoms with their
// reference counts, and registrations that answer a simulated key press the way Windows
// does (one registration per combination system-wide, one per id and window).
#pragma once

#include "platform/Platform.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tw::sim {

struct SimHotKey {
    Hwnd owner = 0;
    int id = 0;
    unsigned modifiers = 0;   // MOD_* flags as registered, MOD_NOREPEAT included
    unsigned vk = 0;
};

class SimHotKeys : public HotKeyApi {
public:
    // String atoms are handed out from here upward. The system's start at 0xC000, and by the
    // time a user program runs the session has taken the first ones.
    std::uint16_t nextAtom = 0xC123;
    // GlobalAddAtomA fails (the atom table is full).
    bool failAtoms = false;
    std::vector<std::string> log;   // "Register <id> <mods> <vk>", "Unregister <id>", ...

    // A combination that another program holds: registering it fails.
    void HoldElsewhere(unsigned modifiers, unsigned vk);
    // The user presses a combination: the registration that receives WM_HOTKEY, if any.
    std::optional<SimHotKey> Press(unsigned modifiers, unsigned vk) const;
    // Live registrations of `owner`, by id.
    std::map<int, SimHotKey> RegisteredOn(Hwnd owner) const;
    // The atom of a name and its reference count (0 when it does not exist).
    std::uint16_t AtomOf(const std::string& name) const;
    int References(std::uint16_t atom) const;
    int LiveAtoms() const { return static_cast<int>(atoms_.size()); }

    // HotKeyApi
    std::uint16_t GlobalAddAtomA(const char* name) override;
    void GlobalDeleteAtom(std::uint16_t atom) override;
    bool RegisterHotKey(Hwnd owner, int id, unsigned modifiers, unsigned vk) override;
    bool UnregisterHotKey(Hwnd owner, int id) override;

private:
    struct Atom {
        std::string name;
        int references = 0;
    };
    std::map<std::uint16_t, Atom> atoms_;
    std::vector<SimHotKey> registrations_;
    std::vector<SimHotKey> elsewhere_;
};

} // namespace tw::sim
