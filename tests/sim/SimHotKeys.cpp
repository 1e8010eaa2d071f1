#include "sim/SimHotKeys.h"

#include <algorithm>
#include <cctype>

namespace tw::sim {

namespace {

// Atom names compare without regard to case.
bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// MOD_NOREPEAT says how a combination repeats; it is no part of the combination.
constexpr unsigned kModNoRepeat = 0x4000;

bool SameCombination(const SimHotKey& k, unsigned modifiers, unsigned vk)
{
    return (k.modifiers & ~kModNoRepeat) == (modifiers & ~kModNoRepeat) && k.vk == vk;
}

} // namespace

void SimHotKeys::HoldElsewhere(unsigned modifiers, unsigned vk) { elsewhere_.push_back({0, 0, modifiers, vk}); }

std::optional<SimHotKey> SimHotKeys::Press(unsigned modifiers, unsigned vk) const
{
    for (const auto& k : registrations_)
        if (SameCombination(k, modifiers, vk))
            return k;
    return std::nullopt;
}

std::map<int, SimHotKey> SimHotKeys::RegisteredOn(Hwnd owner) const
{
    std::map<int, SimHotKey> result;
    for (const auto& k : registrations_)
        if (k.owner == owner)
            result[k.id] = k;
    return result;
}

std::uint16_t SimHotKeys::AtomOf(const std::string& name) const
{
    for (const auto& [atom, a] : atoms_)
        if (SameName(a.name, name))
            return atom;
    return 0;
}

int SimHotKeys::References(std::uint16_t atom) const
{
    auto it = atoms_.find(atom);
    return it == atoms_.end() ? 0 : it->second.references;
}

std::uint16_t SimHotKeys::GlobalAddAtomA(const char* name)
{
    log.push_back(std::string("AddAtom ") + name);
    if (failAtoms)
        return 0;
    if (std::uint16_t atom = AtomOf(name)) {
        ++atoms_[atom].references;
        return atom;
    }
    std::uint16_t atom = nextAtom++;
    atoms_[atom] = Atom{name, 1};
    return atom;
}

void SimHotKeys::GlobalDeleteAtom(std::uint16_t atom)
{
    log.push_back("DeleteAtom " + std::to_string(atom));
    auto it = atoms_.find(atom);
    if (it != atoms_.end() && --it->second.references == 0)
        atoms_.erase(it);
}

bool SimHotKeys::RegisterHotKey(Hwnd owner, int id, unsigned modifiers, unsigned vk)
{
    log.push_back("Register " + std::to_string(id) + " " + std::to_string(modifiers) + " " + std::to_string(vk));
    if (id < 0 || id > 0xBFFF)
        return false;
    auto taken = [&](const SimHotKey& k) { return SameCombination(k, modifiers, vk); };
    if (std::any_of(elsewhere_.begin(), elsewhere_.end(), taken) ||
        std::any_of(registrations_.begin(), registrations_.end(), taken))
        return false;
    if (std::any_of(registrations_.begin(), registrations_.end(),
                    [&](const SimHotKey& k) { return k.owner == owner && k.id == id; }))
        return false;
    registrations_.push_back({owner, id, modifiers, vk});
    return true;
}

bool SimHotKeys::UnregisterHotKey(Hwnd owner, int id)
{
    log.push_back("Unregister " + std::to_string(id));
    auto it = std::find_if(registrations_.begin(), registrations_.end(),
                           [&](const SimHotKey& k) { return k.owner == owner && k.id == id; });
    if (it == registrations_.end())
        return false;
    registrations_.erase(it);
    return true;
}

} // namespace tw::sim
