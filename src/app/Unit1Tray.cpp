// The Tray page: the notification-area icons as a table, a tick per hidden icon.
#include "app/Unit1.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"

#include <commctrl.h>

namespace tw {

TTrayIcon* TFrmAmbler::RowIcon(int row) const
{
    auto* icon = reinterpret_cast<TTrayIcon*>(ui::LvGetData(Control(ids::lstTrayIcons), row));
    return TrayIconList && TrayIconList->Contains(icon) ? icon : nullptr;
}

void TFrmAmbler::FillTrayPage()
{
    HWND lv = Control(ids::lstTrayIcons);
    bool failed = false;
    try {
        BusyScope busy(*this);
        ui::RedrawPause pause(lv);
        // The refresh may free icons the rows point at, so the rows go first.
        ui::LvDeleteAllItems(lv);
        TrayIconList->RefreshIcons();
        ui::LvReserveRows(lv, TrayIconList->Count());
        for (int i = 0; i < TrayIconList->Count(); ++i) {
            TTrayIcon& icon = TrayIconList->Items(i);
            int row = ui::LvAppendRow(lv, reinterpret_cast<LPARAM>(&icon), icon.Hidden);
            ui::LvSetSubItemText(lv, row, 1, ui::FromUtf8(icon.Name));
        }
    } catch (...) {
        failed = true;
    }
    if (failed)
        ui::ShowMessage(hwnd_, L"初始化托盘列表失败！");
}

void TFrmAmbler::lstTrayIconsMouseDown(int button, int x, int y)
{
    if (button != 0)
        return;
    try {
        HWND lv = Control(ids::lstTrayIcons);
        int row = ui::LvRowAt(lv, POINT{x, y});
        if (row < 0)
            return;
        TTrayIcon* icon = RowIcon(row);
        if (!icon)
            return;
        // Anywhere on the row counts: a click on the name applies the row's tick again.
        bool ticked = ui::LvGetChecked(lv, row);
        if (ticked && Closing())
            return;
        BusyScope busy(*this);
        icon->SetHidden(ticked);
    } catch (...) {
        // A click that cannot be carried out changes nothing and says nothing.
    }
}

} // namespace tw
