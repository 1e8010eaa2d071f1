#include "hotkeys/uGlobalHotKeys.h"

#include <algorithm>
#include <utility>

namespace tw {

namespace {

constexpr char kAtomPrefix[] = "MyHotKey_";
// String atoms lie in 0xC000..0xFFFF, so ids lie in 0x0001..0x4000 (the first atom moved
// off 0), well inside the 0x0000..0xBFFF that RegisterHotKey allows an application.
constexpr std::uint16_t kFirstStringAtom = 0xC000;
constexpr std::uint16_t kIdOfFirstStringAtom = 0x4000;

constexpr unsigned kModAlt = 0x0001;
constexpr unsigned kModControl = 0x0002;
constexpr unsigned kModShift = 0x0004;
// A held combination sends WM_HOTKEY once, not once per auto-repeat: a boss key held a
// moment too long would otherwise hide the window and bring it straight back.
constexpr unsigned kModNoRepeat = 0x4000;

std::uint16_t AsKeyCode(int stored) { return stored >= 0 && stored <= 0xFFFF ? static_cast<std::uint16_t>(stored) : 0; }

} // namespace

THotKeyValue ReadProgramHotKey(TIniFileMgr& ini, const ProgramHotKey& which)
{
    THotKeyValue value;
    value.Modifier = AsKeyCode(ini.ReadInteger(kSettingsSection, which.ModifierName, which.Default.Modifier));
    value.Key = AsKeyCode(ini.ReadInteger(kSettingsSection, which.KeyName, which.Default.Key));
    return value;
}

void WriteProgramHotKey(TIniFileMgr& ini, const ProgramHotKey& which, THotKeyValue value)
{
    ini.WriteInteger(kSettingsSection, which.ModifierName, value.Modifier);
    ini.WriteInteger(kSettingsSection, which.KeyName, value.Key);
}

unsigned ModifierFlags(std::uint16_t modifier)
{
    switch (modifier) {
    case kVkAlt: return kModAlt;
    case kVkControl: return kModControl;
    case kVkShift: return kModShift;
    default: return 0;
    }
}

std::uint16_t ModifierKey(unsigned flags)
{
    switch (flags) {
    case kModAlt: return kVkAlt;
    case kModControl: return kVkControl;
    case kModShift: return kVkShift;
    default: return 0;
    }
}

std::uint16_t HotKeyIdOfAtom(std::uint16_t atom)
{
    if (atom < kFirstStringAtom)
        return 0;
    return atom == kFirstStringAtom ? kIdOfFirstStringAtom : static_cast<std::uint16_t>(atom - kFirstStringAtom);
}

TGlobalHotKeys::TGlobalHotKeys(HotKeyApi& api, Hwnd owner, BossKeyHolders& windows, ProgramHotKeyIds& ids)
    : api_(api), owner_(owner), windows_(windows), ids_(ids)
{
}

std::uint16_t TGlobalHotKeys::RegisterNamedHotKey(const std::string& text, std::uint16_t modifier,
                                                  std::uint16_t key)
{
    auto known = atoms_.find(text);
    std::uint16_t atom = known != atoms_.end() ? known->second : api_.GlobalAddAtomA((kAtomPrefix + text).c_str());
    std::uint16_t id = HotKeyIdOfAtom(atom);
    if (id == 0) {
        if (atom != 0 && known == atoms_.end())
            api_.GlobalDeleteAtom(atom);
        return 0;   // without an atom there is no id that could not collide with another's
    }
    atoms_.emplace(text, atom);
    // Failure is expected and harmless: the combination is ours already (another window
    // has it) or another program's, and in both cases the id stands as it is.
    api_.RegisterHotKey(owner_, id, ModifierFlags(modifier) | kModNoRepeat, key);
    registered_.insert(id);
    return id;
}

std::string TGlobalHotKeys::RegisterHotKeys(TIniFileMgr& ini)
{
    std::string selfText;
    for (std::size_t i = 0; i < kProgramHotKeyCount; ++i) {
        const ProgramHotKey& which = kProgramHotKeys[i];
        THotKeyValue value = ReadProgramHotKey(ini, which);
        std::string text = THotKeyBox::HotKeyText(value);
        Release(std::exchange(ids_[i], std::uint16_t{0}));
        if (!text.empty())
            ids_[i] = RegisterNamedHotKey(text, value.Modifier, value.Key);
        if (&which == &kSelfHotKey)
            selfText = text;
    }
    return selfText;
}

void TGlobalHotKeys::SetWindowBossKey(TBossKey& window, const std::string& text, std::uint16_t modifier,
                                      std::uint16_t key)
{
    if (text.empty()) {
        ClearWindowBossKey(window);
        return;
    }
    window.BossKeyText = text;
    window.Modifier = modifier;
    window.Key = key;
    Release(std::exchange(window.HotKeyId, std::uint16_t{0}));
    window.HotKeyId = RegisterNamedHotKey(text, modifier, key);
}

void TGlobalHotKeys::ClearWindowBossKey(TBossKey& window)
{
    window.BossKeyText.clear();
    window.Modifier = 0;
    window.Key = 0;
    Release(std::exchange(window.HotKeyId, std::uint16_t{0}));
}

HotKeyAction TGlobalHotKeys::Dispatch(std::uint16_t id) const
{
    // 0 is what an unset field holds, not an id: only a stranger's WM_HOTKEY carries it.
    if (id == 0)
        return HotKeyAction::ToggleWindows;
    for (std::size_t i = 0; i < kProgramHotKeyCount; ++i)
        if (id == ids_[i])
            return kProgramHotKeys[i].Action;
    return HotKeyAction::ToggleWindows;
}

void TGlobalHotKeys::ReleaseAll()
{
    for (std::uint16_t id : registered_)
        api_.UnregisterHotKey(owner_, id);
    registered_.clear();
    for (const auto& [text, atom] : atoms_)
        api_.GlobalDeleteAtom(atom);
    atoms_.clear();
}

bool TGlobalHotKeys::InUse(std::uint16_t id)
{
    return std::find(ids_.begin(), ids_.end(), id) != ids_.end() || windows_.HoldsHotKey(id);
}

void TGlobalHotKeys::Release(std::uint16_t id)
{
    // Two windows may share a combination, or a window may share one with a program hot
    // key: giving it up for one of them must not silence the others.
    if (id == 0 || InUse(id))
        return;
    if (registered_.erase(id))
        api_.UnregisterHotKey(owner_, id);
    for (auto it = atoms_.begin(); it != atoms_.end(); ++it) {
        if (HotKeyIdOfAtom(it->second) == id) {
            api_.GlobalDeleteAtom(it->second);
            atoms_.erase(it);
            break;
        }
    }
}

void TGlobalHotKeys::ReleaseUnused()
{
    std::set<std::uint16_t> held = registered_;
    for (const auto& [text, atom] : atoms_)
        held.insert(HotKeyIdOfAtom(atom));
    for (std::uint16_t id : held)
        Release(id);
}

} // namespace tw
