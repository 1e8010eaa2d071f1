// The program's one long-lived form: the tool window with its top panel, tool buttons and
// three pages. It owns the window list, the tray icon list, the boss-key capture box and
// the hidden-file list (the lines of lstFiles), and its handlers are where every user
// action is caught and reported.
#pragma once

#include "app/ControlIds.h"
#include "platform/ui/Form.h"
#include "windows/uWindowsHider.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tw {

class TFrmAmbler final : public ui::Form {
public:
    TFrmAmbler();
    ~TFrmAmbler() override;

    // Creates the native window and runs FormCreate; the window is shown by the caller.
    void Create();
    // Brings back every window and tray icon we hid; safe to call from a crash handler.
    void RestoreEverything() noexcept;

    // --- Fields ------------------------------------------------------------------------
    std::unique_ptr<TWindowList> WindowList;
    TWindow* BossKeyWindow = nullptr;  // the entry whose boss key is being typed; not owned
    int BossKeyItem = -1;              // its row in lstWindowName; -1 = none
    std::uint16_t SelfHotKeyId = 0;
    std::uint16_t HideHotKeyId = 0;
    std::uint16_t ShowHotKeyId = 0;

    // --- Start-up, close, pages (Unit1.cpp) ----------------------------------------------
    void FormCreate();
    // False when the close must not go on (the settings file could not be written).
    bool FormClose();
    void FormDestroy();
    void PageControl1Change(int index);
    void BtnRefreshListClick();

    // --- Windows page (Unit1Windows_win.cpp) ----------------------------------------------
    void FillWindowPage();
    void lstWindowNameMouseDown(int button, int x, int y);
    void SetCheckedWindowsShown(bool show);
    void BtnHideWindowsClick();
    void BtnShowWindowsClick();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    std::wstring HintFor(int id) override;
    void PageChanged(int tabsId, int index) override;

private:
    void OnCommand(int id, int code);
    LRESULT OnNotify(NMHDR* hdr);
    void HookMouseDown(int listId);
    static LRESULT CALLBACK ListMouseProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR data);
    // The row's entry if it is still one of ours, else null.
    TWindow* RowWindow(int row) const;

    std::vector<std::unique_ptr<ui::Subclass>> hooks_;
    bool closed_ = false;   // the close sequence ran (by close or by session end)
};

// The one main window, for the crash handler.
extern TFrmAmbler* FrmAmbler;

} // namespace tw
