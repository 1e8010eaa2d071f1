// A boss key as the thing it belongs to keeps it, and what the global hot keys must know of
// all such things: the window list provides both, so the hot keys never learn of windows
// and the windows never learn how a key is registered.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

struct TBossKey {
    std::string BossKeyText;    // e.g. "Alt + Q"; empty when there is no boss key
    std::uint16_t HotKeyId = 0; // registration id of the boss key; 0 = none
    std::int32_t Key = 0;       // virtual-key code of the boss key's main key; 0 = none
    std::int32_t Modifier = 0;  // virtual-key code of its modifier (18, 17, 16); 0 = none
};

// Registrations are shared by equal combinations: one is withdrawn only when no holder
// answers to its id any more.
class BossKeyHolders {
public:
    virtual bool HoldsHotKey(std::uint16_t id) const = 0;

protected:
    ~BossKeyHolders() = default;
};

} // namespace tw
