// The hot-key settings dialog "帮助": the program hot keys, each typed into its own capture
// box and written to the settings file the moment it is completed or cleared; the screen
// corner and the idle minutes that hide the ticked windows, written the moment they change;
// and the box that has the program start with Windows, out of sight.
// The main window registers them again once the dialog has closed, however it closed.
#pragma once

#include "hotkeys/uGlobalHotKeys.h"
#include "hotkeys/uHotKeyBox.h"
#include "platform/ui/Form.h"

#include <array>
#include <cstdint>
#include <memory>

namespace tw {

class TFrmHelp final : public ui::Form {
public:
    TFrmHelp();

    // Builds the dialog, owned by `owner` (the main window), hidden.
    void Create(HWND owner);
    // Creates the capture boxes and binds each to its save and clear actions.
    void AttachHotKeyBoxes();
    // Shows the stored hot keys, and whether the Run value starts this exe; runs each time
    // the dialog is shown.
    void FormShow();
    // The start-with-Windows box was ticked or cleared: the Run value is written or deleted.
    void chkAutoStartClick();
    // Another corner, or other idle minutes, were chosen: stored at once.
    void cboHotCornerChange();
    void edtIdleMinutesChange();
    // A registered combination pressed while the user types in one of the edits: that
    // edit's box reports it as taken.
    void HotKeyDown();
    // True while one of the hot-key edits has the keyboard focus.
    bool HasHotKeyFocus() const;
    // A hot key `id` (main key `key`) pressed while the dialog is open. True when it is the
    // dialog's: the user is typing in one of its edits, or reading the in-use message about
    // one; the first press of a combination is then reported as taken, and the auto-repeats
    // of it held down are dropped. False: the hot key is not for the dialog, and acts.
    bool TakesHotKey(std::uint16_t id, unsigned key);

    // They let go of their edits before the dialog's window goes: members go before the
    // form's destructor destroys it.
    // One per program hot key, in the table's order.
    std::array<std::unique_ptr<THotKeyBox>, kProgramHotKeyCount> HotKeyBoxes;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool ReportingInUse();
    bool IsRepeat(std::uint16_t id, unsigned key, LONG time);

    bool showing_ = false;       // the controls are being filled from the file, not by the user
    HWND lastFocus_ = nullptr;   // given back when the dialog is activated again
    // The combination last reported, and when it last arrived.
    std::uint16_t heldId_ = 0;
    LONG heldTime_ = 0;
};

} // namespace tw
