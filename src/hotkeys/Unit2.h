// The hot-key settings dialog "帮助": the three program hot keys, each typed into its own
// capture box and written to the settings file the moment it is completed or cleared.
// The main window registers them again once the dialog has closed, however it closed.
#pragma once

#include "hotkeys/uHotKeyBox.h"
#include "platform/ui/Form.h"

#include <memory>

namespace tw {

class TFrmHelp final : public ui::Form {
public:
    TFrmHelp();
    ~TFrmHelp() override;

    // Builds the dialog, owned by `owner` (the main window), hidden.
    void Create(HWND owner);
    // Creates the three capture boxes and binds each to its save and clear actions.
    void AttachHotKeyBoxes();
    // Shows the stored hot keys; runs each time the dialog is shown.
    void FormShow();
    // A registered combination pressed while the user types in one of the edits: that
    // edit's box reports it as taken.
    void HotKeyDown();
    // True while one of the three edits has the keyboard focus.
    bool HasHotKeyFocus() const;

    std::unique_ptr<THotKeyBox> HideSelfBox;
    std::unique_ptr<THotKeyBox> HideBox;
    std::unique_ptr<THotKeyBox> ShowBox;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND lastFocus_ = nullptr;   // given back when the dialog is activated again
};

} // namespace tw
