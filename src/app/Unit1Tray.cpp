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

namespace {

// One row per icon. A new row comes with a clear box (the list view ignores a tick asked for
// at insertion), so only ticked rows get a state change afterwards: each costs a round of
// change notifications, and a tray can hold a few hundred icons.
void AppendIconRow(HWND lv, TTrayIcon& icon)
{
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = ui::LvGetItemCount(lv);
    it.pszText = const_cast<wchar_t*>(L"");
    it.lParam = reinterpret_cast<LPARAM>(&icon);
    int row = static_cast<int>(::SendMessageW(lv, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
    if (row < 0)
        return;
    if (icon.Hidden)
        ui::LvSetChecked(lv, row, true);
    ui::LvSetSubItemText(lv, row, 1, ui::FromAnsi(icon.Name));
}

} // namespace

void TFrmAmbler::FillTrayPage()
{
    HWND lv = Control(ids::lstTrayIcons);
    try {
        ui::RedrawPause pause(lv);
        // The refresh may free icons the rows point at, so the rows go first.
        ui::LvDeleteAllItems(lv);
        TrayIconList->RefreshIcons();
        ::SendMessageW(lv, LVM_SETITEMCOUNT, static_cast<WPARAM>(TrayIconList->Count()), 0);
        for (int i = 0; i < TrayIconList->Count(); ++i)
            AppendIconRow(lv, TrayIconList->Items(i));
    } catch (...) {
        ui::ShowMessage(hwnd_, L"初始化托盘列表失败！");
    }
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
        icon->SetShown(!ticked);
        icon->Hidden = ticked;
    } catch (...) {
        // A click that cannot be carried out changes nothing and says nothing.
    }
}

} // namespace tw
