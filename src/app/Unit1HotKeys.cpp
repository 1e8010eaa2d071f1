// The main window's hot keys: the program hot keys, the boss-key editor over the
// Windows page, WM_HOTKEY, and the "设置" button that opens the settings dialog.
#include "app/Unit1.h"

#include "hotkeys/HotKeyEdit_win.h"
#include "hotkeys/Unit2.h"
#include "platform/Win32Platform.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"
#include "settings/uIniFileMgr.h"

namespace tw {

namespace {

// The label sizes itself to its caption, so "Shift + Q" fits as well as "Alt + X", in the
// font of the current DPI.
void FitLabelToCaption(HWND label)
{
    std::wstring caption = ui::GetText(label);
    HDC dc = ::GetDC(label);
    if (!dc)
        return;
    auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    RECT rc{};
    ::GetWindowRect(label, &rc);
    ::SetWindowPos(label, nullptr, 0, 0, extent.cx, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(::GetParent(label), nullptr, TRUE);
}

void SetAutoSizedCaption(HWND label, const std::wstring& caption)
{
    ui::SetText(label, caption);
    FitLabelToCaption(label);
}

} // namespace

void TFrmAmbler::CreateHotKeys()
{
    hotKeys_ = std::make_unique<TGlobalHotKeys>(Win32HotKeys(), ui::AsHwnd(hwnd_), *WindowList,
                                                HotKeyIds);
}

void TFrmAmbler::AttachBossKeyBox()
{
    if (!Control(ids::edtBossKey))
        return;
    BossKeyBox = ui::AttachHotKeyBox(Control(ids::edtBossKey));
    // Both act on whichever entry the editor was opened for at the moment of the key.
    BossKeyBox->OnHotKey = [this](const std::string& text, std::uint16_t modifier, std::uint16_t key) {
        SetWindowBossKey(BossKeyWindow, text, modifier, key);
    };
    BossKeyBox->OnClear = [this] { ClearWindowBossKey(BossKeyWindow); };
}

// The table put the label back at its designed width, and an open boss-key editor no
// longer lies over its cell: the label is fitted again and the editor closed, as a click
// elsewhere would close it.
void TFrmAmbler::DpiChanged()
{
    FitLabelToCaption(Control(ids::Label2));
    ::ShowWindow(Control(ids::edtBossKey), SW_HIDE);
}

void TFrmAmbler::RegisterHotKeys()
{
    if (!hotKeys_ || !IniFileMgr)
        return;
    std::string text = hotKeys_->RegisterHotKeys(*IniFileMgr);
    SetAutoSizedCaption(Control(ids::Label2),
                        text.empty() ? std::wstring(L"无快捷键来显示/还原自己") : ui::FromAnsi(text) + L" :显示/还原自己");
}

std::uint16_t TFrmAmbler::RegisterNamedHotKey(const std::string& text, std::uint16_t modifier, std::uint16_t key)
{
    return hotKeys_ ? hotKeys_->RegisterNamedHotKey(text, modifier, key) : 0;
}

void TFrmAmbler::SetWindowBossKey(TWindow* window, const std::string& text, std::uint16_t modifier,
                                  std::uint16_t key)
{
    if (hotKeys_ && WindowList && WindowList->Contains(window)) {
        hotKeys_->SetWindowBossKey(*window, text, modifier, key);
        RememberBossKey(*window);
    }
}

void TFrmAmbler::ClearWindowBossKey(TWindow* window)
{
    if (hotKeys_ && WindowList && WindowList->Contains(window)) {
        hotKeys_->ClearWindowBossKey(*window);
        RememberBossKey(*window);
    }
}

void TFrmAmbler::edtBossKeyExit()
{
    // The "in use" message took the focus; the user goes back to typing afterwards.
    if (BossKeyBox && ui::IsReportingInUse(*BossKeyBox))
        return;
    HWND edit = Control(ids::edtBossKey);
    ::ShowWindow(edit, SW_HIDE);
    if (BossKeyItem < 0 || !BossKeyWindow || RowWindow(BossKeyItem) != BossKeyWindow)
        return;
    // The cell shows what the edit shows, which may be a modifier typed after the last
    // completed combination; the registration is always that of the completed one.
    SetWindowRowBossText(BossKeyItem, BossKeyWindow->Key != 0 ? ui::GetText(edit) : std::wstring());
}

void TFrmAmbler::CloseBossKeyEditor()
{
    BossKeyWindow = nullptr;
    BossKeyItem = -1;
    HWND edit = Control(ids::edtBossKey);
    if (!edit || !(::GetWindowLongPtrW(edit, GWL_STYLE) & WS_VISIBLE))
        return;
    // Hiding the focused edit would leave the focus nowhere useful; the list takes it.
    if (::GetFocus() == edit)
        ::SetFocus(Control(ids::lstWindowName));
    ::ShowWindow(edit, SW_HIDE);
}

void TFrmAmbler::ToggleSelf()
{
    if (::IsWindowVisible(hwnd_)) {
        ::ShowWindow(hwnd_, SW_HIDE);
    } else {
        ::ShowWindow(hwnd_, SW_SHOW);
        // A hot key gives its receiver the right to take the foreground.
        ::SetForegroundWindow(hwnd_);
    }
}

bool TFrmAmbler::BossKeyEditorTakes(std::uint16_t id, unsigned modifiers, unsigned key)
{
    // Another window's boss key (or one left by a closed window): the system took the key
    // before the editor could see it, but this is how a user gives two windows one boss
    // key, so the editor gets the keys it missed. The hot key is posted, so it can overtake
    // the modifier's own key message, which then finds its modifier pending already. A
    // program hot key is not for a window to share.
    std::uint16_t modifierKey = ModifierKey(modifiers);
    if (!hotKeys_ || !BossKeyBox || hotKeys_->IsProgramHotKey(id) || modifierKey == 0)
        return false;
    if (BossKeyBox->PendingModifier().empty())
        BossKeyBox->KeyDown(modifierKey);
    if (BossKeyBox->PendingModifier() != THotKeyBox::ModifierText(modifierKey))
        return false;
    BossKeyBox->KeyDown(static_cast<std::uint16_t>(key));
    return true;
}

void TFrmAmbler::WMHotKey(int id, unsigned modifiers, unsigned key)
{
    // Work on the lists may wait on other programs, and a wait can dispatch our own messages:
    // a hot key run inside it would use entries and rows that the work is using, or free
    // them. It runs once the work is done, as pressed; a handful of presses are kept.
    if (busy_ > 0) {
        constexpr std::size_t kMaxPendingHotKeys = 8;
        if (pendingHotKeys_.size() < kMaxPendingHotKeys)
            pendingHotKeys_.push_back({id, modifiers, key});
        return;
    }
    try {
        auto hotKey = static_cast<std::uint16_t>(id);
        bool editing = BossKeyBox && BossKeyBox->Edit().IsVisible();
        if (editing && BossKeyEditorTakes(hotKey, modifiers, key))
            return;
        // Otherwise, while typing a boss key, a combination that arrives as a hot key is
        // taken, and that is all it does.
        if (BossKeyBox)
            BossKeyBox->CheckInUse();
        if (editing)
            return;
        // Typing in the settings dialog: the same, told by the dialog's own boxes, and a
        // combination held down there never acts, not even once its message has the focus.
        if (helpDialog_ && helpDialog_->TakesHotKey(hotKey, key))
            return;
        if (!hotKeys_)
            return;
        switch (hotKeys_->Dispatch(hotKey)) {
        case HotKeyAction::ToggleSelf: ToggleSelf(); break;
        case HotKeyAction::HideChecked: HideCheckedWindows(); break;
        case HotKeyAction::ShowChecked: SetCheckedWindowsShown(true); break;
        case HotKeyAction::HideFront: HideFrontWindow(); break;
        case HotKeyAction::ToggleWindows: ToggleWindowsByHotKey(hotKey); break;
        }
    } catch (...) {
        ui::ShowMessage(hwnd_, L"快捷键操作失败！");
    }
}

void TFrmAmbler::SpeedButton4Click()
{
    TFrmHelp dialog;
    dialog.Create(hwnd_);
    dialog.AttachHotKeyBoxes();
    helpDialog_ = &dialog;
    dialog.ShowModal(hwnd_);
    helpDialog_ = nullptr;
    // Whatever closed the dialog, what it wrote takes effect now.
    if (::IsWindow(hwnd_)) {
        RegisterHotKeys();
        ApplyHideTriggers();
    }
}

void TFrmAmbler::ReleaseHotKeys()
{
    if (hotKeys_)
        hotKeys_->ReleaseAll();
    hotKeys_.reset();
}

} // namespace tw
