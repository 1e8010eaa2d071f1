// The program's system-wide hot keys: the program hot keys read from the settings
// file, and one boss key per listed window. Every one is registered on the main window
// under an id made from a global atom named after its text, so one combination always
// has one id, whoever holds it.
#pragma once

#include "hotkeys/BossKey.h"
#include "hotkeys/uHotKeyBox.h"
#include "platform/Platform.h"
#include "settings/uIniFileMgr.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>

namespace tw {

enum class HotKeyAction { ToggleSelf, HideChecked, ShowChecked, HideFront, ToggleWindows };

// One program hot key: the two integer keys the settings file keeps it in (each falling back
// to its default by itself), the label the settings dialog shows beside it, and what it does.
struct ProgramHotKey {
    const char* ModifierName;
    const char* KeyName;
    THotKeyValue Default;
    const char16_t* Label;
    HotKeyAction Action;
};

// Every program hot key, in the order a press is matched (the first wins, so a combination
// set for two of them does one thing) and the settings dialog lists them. A key added later
// stores no default: nobody who updates loses a combination another program uses.
inline constexpr ProgramHotKey kProgramHotKeys[] = {
    {"HideAllHelp", "HideAllWord", {kVkAlt, 'X'}, u"隐藏/还原软件本身", HotKeyAction::ToggleSelf},
    {"HideHelp", "HideWord", {kVkAlt, 'H'}, u"隐藏选中软件", HotKeyAction::HideChecked},
    {"ShowHelp", "ShowWord", {kVkAlt, 'R'}, u"还原选中软件", HotKeyAction::ShowChecked},
    {"HideActiveHelp", "HideActiveWord", {}, u"隐藏当前窗口", HotKeyAction::HideFront},
};
inline constexpr std::size_t kProgramHotKeyCount = std::size(kProgramHotKeys);
inline constexpr const ProgramHotKey& kSelfHotKey = kProgramHotKeys[0];
inline constexpr const ProgramHotKey& kHideHotKey = kProgramHotKeys[1];
inline constexpr const ProgramHotKey& kShowHotKey = kProgramHotKeys[2];
inline constexpr const ProgramHotKey& kHideFrontHotKey = kProgramHotKeys[3];

// The main window's program hot-key ids, one per row of the table; 0 = none.
using ProgramHotKeyIds = std::array<std::uint16_t, kProgramHotKeyCount>;

// A stored value that is no 16-bit key code reads as 0, so it can never alias a real key.
THotKeyValue ReadProgramHotKey(TIniFileMgr& ini, const ProgramHotKey& which);
// The modifier first, then the main key; throws when the file cannot be written.
void WriteProgramHotKey(TIniFileMgr& ini, const ProgramHotKey& which, THotKeyValue value);

// MOD_ALT, MOD_CONTROL or MOD_SHIFT for the modifier's key code; 0 for anything else.
unsigned ModifierFlags(std::uint16_t modifier);
// The other way: the modifier's key code for exactly one of those flags; 0 for anything else.
std::uint16_t ModifierKey(unsigned flags);

// The id of a string atom (0xC000..0xFFFF): the atom less 0xC000, except that 0 means "no
// hot key" to every holder of an id, so the first string atom gets 0x4000, which no other
// atom maps to. 0 for an atom that is no string atom.
std::uint16_t HotKeyIdOfAtom(std::uint16_t atom);

class TGlobalHotKeys {
public:
    // `windows` are the holders of boss keys, asked before a registration is withdrawn.
    TGlobalHotKeys(HotKeyApi& api, Hwnd owner, BossKeyHolders& windows, ProgramHotKeyIds& ids);
    TGlobalHotKeys(const TGlobalHotKeys&) = delete;
    TGlobalHotKeys& operator=(const TGlobalHotKeys&) = delete;

    // Registers `text` (never empty) on the owner and returns its id: the atom of
    // "MyHotKey_" + text, less 0xC000 (HotKeyIdOfAtom). A combination someone already holds
    // fails quietly and keeps its id. 0 when the system has no atom left for it.
    std::uint16_t RegisterNamedHotKey(const std::string& text, std::uint16_t modifier, std::uint16_t key);
    // Re-reads the program hot keys, dropping each old registration before making the new
    // one. Returns the show/hide-self hot key's text (empty: none).
    std::string RegisterHotKeys(TIniFileMgr& ini);

    void SetWindowBossKey(TBossKey& window, const std::string& text, std::uint16_t modifier, std::uint16_t key);
    void ClearWindowBossKey(TBossKey& window);

    // What a WM_HOTKEY id stands for. The program's own hot keys win, in the table's order.
    HotKeyAction Dispatch(std::uint16_t id) const;
    bool IsProgramHotKey(std::uint16_t id) const { return Dispatch(id) != HotKeyAction::ToggleWindows; }

    // At exit: every registration made is withdrawn and every atom reference added released.
    void ReleaseAll();
    // After a refresh: the boss keys of windows that left the list are withdrawn and their
    // atoms released, unless another window or a program hot key still answers to them.
    void ReleaseUnused();

private:
    // Withdraws a registration given up by its holder (whose own id is already cleared),
    // unless a program hot key or another window still answers to it.
    void Release(std::uint16_t id);
    bool InUse(std::uint16_t id);

    HotKeyApi& api_;
    Hwnd owner_;
    BossKeyHolders& windows_;
    ProgramHotKeyIds& ids_;
    // One atom reference per text, taken at its first registration: equal texts share it.
    std::map<std::string, std::uint16_t> atoms_;
    std::set<std::uint16_t> registered_;
};

} // namespace tw
