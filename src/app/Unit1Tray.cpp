// The Tray page: the notification-area icons as a table, a tick per hidden icon.
#include "app/Unit1.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"

#include <commctrl.h>

namespace tw {

namespace {

// Programs add their icons to a new taskbar when they hear of it, as we do, so some arrive
// after our first reading; they are looked for once a second for a while.
constexpr UINT kShellRestartPeriodMs = 1000;
constexpr int kShellRestartRefreshes = 10;

} // namespace

TTrayIcon* TFrmAmbler::RowIcon(int row) const
{
    auto* icon = reinterpret_cast<TTrayIcon*>(ui::LvGetData(Control(ids::lstTrayIcons), row));
    return TrayIconList && TrayIconList->Contains(icon) ? icon : nullptr;
}

void TFrmAmbler::FillTrayPage()
{
    if (!TrayIconList)
        return;   // not read before the start has finished
    // The refresh may free icons the rows point at. Until the rows are brought up to date, a
    // row is only ever looked up through RowIcon, which checks the icon is ours.
    const bool filled = RefillRows(ids::lstTrayIcons, trayRows_, [this] {
        TrayIconList->RefreshIcons();
        HideRememberedIcons();
        ShowTrayRows();
        // An empty list would say "no icons"; the truth is that we cannot see them.
        const bool readable = TrayIconList->Readable();
        ShowControl(ids::lstTrayIcons, readable);
        ShowControl(ids::lblTrayUnreadable, !readable);
    });
    if (!filled)
        ui::ShowMessage(hwnd_, L"初始化托盘列表失败！");
}

void TFrmAmbler::ShowTrayRows()
{
    HWND lv = Control(ids::lstTrayIcons);
    // The tick is read from the list view itself; one the icon does not have reverts to its own.
    ui::LvShowRows(lv, trayRows_, *TrayIconList, [lv](int i, TrayRow& row, const TTrayIcon& icon) {
        if (row.name != icon.Name) {
            ui::LvSetSubItemText(lv, i, 1, ui::FromUtf8(icon.Name));
            row.name = icon.Name;
        }
        if (ui::LvGetChecked(lv, i) != icon.Hidden)
            ui::LvSetChecked(lv, i, icon.Hidden);
    });
}

void TFrmAmbler::lstTrayIconsMouseDown(int button, int x, int y)
{
    if (button != 0)
        return;
    try {
        HWND lv = Control(ids::lstTrayIcons);
        // Anywhere on the row counts: a click on the name applies the row's tick again.
        int row = ui::LvRowAt(lv, POINT{x, y});
        if (row >= 0)
            lstTrayIconsBoxChanged(row);
    } catch (...) {
        // A click that cannot be carried out changes nothing and says nothing.
    }
}

void TFrmAmbler::lstTrayIconsBoxChanged(int row)
{
    TTrayIcon* icon = RowIcon(row);
    if (!icon)
        return;
    bool ticked = ui::LvGetChecked(Control(ids::lstTrayIcons), row);
    if (ticked && Closing())
        return;
    BusyScope busy(*this);
    icon->SetHidden(ticked);
}

void TFrmAmbler::TaskbarCreated()
{
    if (Closing())
        return;
    HideShellAgain();
    FillTrayPage();
    restartRefreshes_ = kShellRestartRefreshes;
    ::SetTimer(hwnd_, kShellRestartTimer, kShellRestartPeriodMs, nullptr);
}

void TFrmAmbler::ShellRestartTick(UINT_PTR timer)
{
    if (timer != kShellRestartTimer)
        return;
    // A refresh already waiting on the shell is not entered again; the next tick will do.
    if (busy_ > 0)
        return;
    const bool awaited = TrayIconList && !TrayIconList->AwaitedTexts().empty();
    if (Closing() || !awaited || --restartRefreshes_ < 0) {
        ::KillTimer(hwnd_, kShellRestartTimer);
        return;
    }
    FillTrayPage();
}

} // namespace tw
