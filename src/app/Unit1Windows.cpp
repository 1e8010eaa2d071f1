// The Windows page: the window list as a table with a check box per row.
#include "app/Unit1.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"

namespace tw {

TWindow* TFrmAmbler::RowWindow(int row) const
{
    auto* entry = reinterpret_cast<TWindow*>(ui::LvGetData(Control(ids::lstWindowName), row));
    return WindowList && WindowList->Contains(entry) ? entry : nullptr;
}

void TFrmAmbler::FillWindowPage()
{
    // The editor points at a row and an entry that the refill is about to free.
    CloseBossKeyEditor();
    HWND lv = Control(ids::lstWindowName);
    try {
        ui::RedrawPause pause(lv);
        // The rows point at entries that the refresh may free, so they go first: no row
        // ever outlives its entry, even when the refresh fails half-way.
        ui::LvDeleteAllItems(lv);
        WindowList->RefreshWindows(ui::AsHwnd(hwnd_));
        WindowList->SortByCaption();
        ui::LvReserveRows(lv, WindowList->Count());
        for (int i = 0; i < WindowList->Count(); ++i) {
            TWindow& entry = WindowList->Items(i);
            int row = ui::LvAppendRow(lv, reinterpret_cast<LPARAM>(&entry), entry.Selected);
            ui::LvSetSubItemText(lv, row, 1, ui::FromAnsi(entry.BossKeyText));
            ui::LvSetSubItemText(lv, row, 2, ui::FromAnsi(entry.Caption));
        }
    } catch (...) {
        ui::ShowMessage(hwnd_, L"初始化窗口列表失败！");
    }
}

void TFrmAmbler::lstWindowNameMouseDown(int button, int x, int y)
{
    if (button != 0)
        return;
    try {
        HWND lv = Control(ids::lstWindowName);
        int row = ui::LvRowAt(lv, POINT{x, y});
        if (row < 0)
            return;
        BossKeyItem = row;
        BossKeyWindow = RowWindow(row);
        if (!BossKeyWindow)
            return;
        int edge = ui::LvGetColumnWidth(lv, 0);   // the list view fills its page: Left is 0
        int bossWidth = ui::LvGetColumnWidth(lv, 1);
        if (x < edge) {
            BossKeyWindow->Selected = ui::LvGetChecked(lv, row);
        } else if (x > edge && x < edge + bossWidth) {
            // Lay the editor over the row's boss-key cell, in the page's coordinates.
            HWND edit = Control(ids::edtBossKey);
            RECT rowRect = ui::LvGetRowRect(lv, row);
            POINT at{edge, rowRect.top};
            ::MapWindowPoints(lv, ::GetParent(edit), &at, 1);
            RECT editRect{};
            ::GetWindowRect(edit, &editRect);
            ::SetWindowPos(edit, HWND_TOP, at.x, at.y, bossWidth, editRect.bottom - editRect.top, SWP_SHOWWINDOW);
            ::SetFocus(edit);
            ui::SetText(edit, ui::FromAnsi(BossKeyWindow->BossKeyText));
        }
    } catch (...) {
        // A click that cannot be handled changes nothing.
    }
}

void TFrmAmbler::SetCheckedWindowsShown(bool show)
{
    HWND lv = Control(ids::lstWindowName);
    int count = ui::LvGetItemCount(lv);
    for (int row = 0; row < count; ++row)
        if (ui::LvGetChecked(lv, row))
            if (TWindow* entry = RowWindow(row))
                entry->SetShown(show);
}

void TFrmAmbler::BtnHideWindowsClick() { SetCheckedWindowsShown(false); }

void TFrmAmbler::BtnShowWindowsClick() { SetCheckedWindowsShown(true); }

} // namespace tw
