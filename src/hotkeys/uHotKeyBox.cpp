#include "hotkeys/uHotKeyBox.h"

namespace tw {

THotKeyBox::THotKeyBox(std::unique_ptr<HotKeyEdit> edit) : edit_(std::move(edit)) {}

std::string THotKeyBox::ModifierText(std::uint16_t virtualKey)
{
    switch (virtualKey) {
    case kVkAlt: return "Alt + ";
    case kVkControl: return "Ctrl + ";
    case kVkShift: return "Shift + ";
    default: return {};
    }
}

std::string THotKeyBox::KeyText(std::uint16_t virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return std::string(1, static_cast<char>(virtualKey));
    if (virtualKey >= '0' && virtualKey <= '9')
        return std::string(1, static_cast<char>(virtualKey));
    return {};
}

std::string THotKeyBox::HotKeyText(std::uint16_t modifier, std::uint16_t key)
{
    std::string mod = ModifierText(modifier);
    std::string main = KeyText(key);
    return mod.empty() || main.empty() ? std::string() : mod + main;
}

void THotKeyBox::CheckInUse()
{
    if (!edit_->IsVisible())
        return;
    pendingModifier_.clear();
    edit_->ReportInUse();
}

void THotKeyBox::KeyDown(std::uint16_t virtualKey)
{
    if (virtualKey == kVkBack || virtualKey == kVkDelete) {
        edit_->SetText({});
        pendingModifier_.clear();
        if (OnClear)
            OnClear();
        return;
    }
    std::string key = KeyText(virtualKey);
    if (pendingModifier_.empty()) {
        // A letter alone is not a hot key; any other key starts over, with its modifier
        // text if it is a modifier and an empty edit if it is not.
        if (!key.empty())
            return;
        pendingModifier_ = ModifierText(virtualKey);
        pendingKey_ = virtualKey;
        edit_->SetText(pendingModifier_);
        return;
    }
    // A second modifier, or a key without text, leaves the first modifier in charge. The
    // combination stays pending after it completes, so the user can try another letter.
    if (key.empty())
        return;
    std::string text = pendingModifier_ + key;
    edit_->SetText(text);
    if (OnHotKey)
        OnHotKey(text, pendingKey_, virtualKey);
}

void THotKeyBox::KeyUp(std::uint16_t virtualKey)
{
    // Releasing any of the three modifiers, not only the pending one, ends the combination.
    if (!ModifierText(virtualKey).empty())
        pendingModifier_.clear();
}

void THotKeyBox::FocusLost() { pendingModifier_.clear(); }

} // namespace tw
