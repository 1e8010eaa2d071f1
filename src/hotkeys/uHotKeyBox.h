// The hot-key capture box: turns key presses in an ordinary edit into one modifier plus
// one letter or digit, writes the combination into the edit as text ("Alt + X") and tells
// its owner when a combination is completed or cleared. Whatever the user types is
// discarded: the box alone writes the edit's text.
//
// This is the portable half. The edit is reached through HotKeyEdit; the Win32 side
// (HotKeyEdit_win.h) feeds the edit's key messages to KeyDown and KeyUp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tw {

// Modifiers are kept as the modifier key's own virtual-key code, not as MOD_* flags: the
// code is what the settings file stores, and it is turned into flags only to register.
inline constexpr std::uint16_t kVkShift = 16;
inline constexpr std::uint16_t kVkControl = 17;
inline constexpr std::uint16_t kVkAlt = 18;
inline constexpr std::uint16_t kVkBack = 8;
inline constexpr std::uint16_t kVkDelete = 46;

// One hot key: 0 and 0 mean none.
struct THotKeyValue {
    std::uint16_t Modifier = 0;
    std::uint16_t Key = 0;
    friend bool operator==(const THotKeyValue&, const THotKeyValue&) = default;
};

// The edit control a box serves. It belongs to its form; the box only talks to it.
class HotKeyEdit {
public:
    virtual ~HotKeyEdit() = default;
    virtual std::string GetText() const = 0;
    virtual void SetText(const std::string& text) = 0;
    // The edit's own visibility (not its parents').
    virtual bool IsVisible() const = 0;
    // Tells the user that the combination just pressed is taken ("当前快捷键已使用！").
    virtual void ReportInUse() = 0;
};

class THotKeyBox {
public:
    explicit THotKeyBox(std::unique_ptr<HotKeyEdit> edit);
    THotKeyBox(const THotKeyBox&) = delete;
    THotKeyBox& operator=(const THotKeyBox&) = delete;

    // "Alt + ", "Ctrl + ", "Shift + " for 18, 17, 16; empty for anything else.
    static std::string ModifierText(std::uint16_t virtualKey);
    // "A".."Z" for 65..90, "0".."9" for 48..57 (the main keyboard row); empty otherwise.
    static std::string KeyText(std::uint16_t virtualKey);
    // Modifier text + key text when both exist, else empty: the empty text is "no hot key".
    static std::string HotKeyText(std::uint16_t modifier, std::uint16_t key);
    static std::string HotKeyText(THotKeyValue value) { return HotKeyText(value.Modifier, value.Key); }

    // The system turns a registered combination into WM_HOTKEY before the edit sees it, so a
    // hot key arriving while the user types here means the combination is taken.
    void CheckInUse();

    // The edit's key events. Every key is consumed: the edit does no editing of its own.
    void KeyDown(std::uint16_t virtualKey);
    void KeyUp(std::uint16_t virtualKey);
    // The edit lost the keyboard focus: the modifier's release goes elsewhere now, so a
    // modifier still pending would complete a combination the user no longer holds.
    void FocusLost();

    HotKeyEdit& Edit() { return *edit_; }
    const std::string& PendingModifier() const { return pendingModifier_; }

    std::function<void(const std::string& text, std::uint16_t modifier, std::uint16_t key)> OnHotKey;
    std::function<void()> OnClear;

private:
    std::unique_ptr<HotKeyEdit> edit_;
    std::string pendingModifier_;
    // The code of the key that last set the pending modifier (kept with the edit, as its tag).
    std::uint16_t pendingKey_ = 0;
};

} // namespace tw
