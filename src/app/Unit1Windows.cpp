// The Windows page: the window list as a table with a check box per row.
#include "app/Unit1.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"

#include <algorithm>

namespace tw {

TWindow* TFrmAmbler::RowWindow(int row) const
{
    auto* entry = reinterpret_cast<TWindow*>(ui::LvGetData(Control(ids::lstWindowName), row));
    return WindowList && WindowList->Contains(entry) ? entry : nullptr;
}

void TFrmAmbler::FillWindowPage()
{
    // The editor points at a row and an entry that the refill may free.
    CloseBossKeyEditor();
    const bool filled = RefillRows(ids::lstWindowName, windowRows_, [this] {
        WindowList->RefreshWindows(ui::AsHwnd(hwnd_), started_);
        // A window gone from the list takes its boss key with it: the combination is free
        // again for the user's next window.
        if (hotKeys_)
            hotKeys_->ReleaseUnused();
        WindowList->SortByCaption();
        ApplyRememberedPrograms();
        ShowWindowRows();
    });
    SyncAudio();
    if (!filled)
        Tell(L"初始化窗口列表失败！");
}

void TFrmAmbler::ShowWindowRows()
{
    HWND lv = Control(ids::lstWindowName);
    // The tick is the entry's as stored.
    ui::LvShowRows(lv, windowRows_, *WindowList, [&](int i, WindowRow& row, const TWindow& entry) {
        if (row.title != entry.Title) {
            ui::LvSetSubItemText(lv, i, 2, ui::FromUtf8(entry.Title));
            row.title = entry.Title;
        }
        std::wstring boss = ui::FromAnsi(entry.BossKeyText);
        if (row.bossText != boss)
            SetWindowRowBossText(i, boss);
        if (row.checked != entry.Selected)
            ui::LvSetChecked(lv, i, entry.Selected);   // the change notification updates row.checked
    });
}

void TFrmAmbler::lstWindowNameItemChanged(const NMLISTVIEW& change)
{
    if (!(change.uChanged & LVIF_STATE) || !((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK))
        return;
    const bool checked = (change.uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    if (change.iItem < 0) {
        for (WindowRow& row : windowRows_)
            row.checked = checked;
    } else if (change.iItem < static_cast<int>(windowRows_.size())) {
        windowRows_[static_cast<std::size_t>(change.iItem)].checked = checked;
    }
}

void TFrmAmbler::SetWindowRowBossText(int row, const std::wstring& text)
{
    ui::LvSetSubItemText(Control(ids::lstWindowName), row, 1, text);
    if (row >= 0 && row < static_cast<int>(windowRows_.size()))
        windowRows_[static_cast<std::size_t>(row)].bossText = text;
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
            lstWindowNameBoxChanged(row);
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

void TFrmAmbler::lstWindowNameBoxChanged(int row)
{
    if (TWindow* entry = RowWindow(row))
        entry->Selected = ui::LvGetChecked(Control(ids::lstWindowName), row);
}

bool TFrmAmbler::UntickOutOfReach(HWND lv, std::vector<TWindow*>& entries)
{
    bool any = false;
    for (std::size_t i = entries.size(); i-- > 0;) {
        TWindow* entry = entries[i];
        // A window already hidden is not asked at all, so it has nothing to refuse.
        if (!entry->WillBeVisible() || !entry->IsOutOfReach())
            continue;
        entry->Selected = false;
        for (int row = 0; row < ui::LvGetItemCount(lv); ++row)
            if (RowWindow(row) == entry)
                ui::LvSetChecked(lv, row, false);
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
        any = true;
    }
    return any;
}

void TFrmAmbler::SetCheckedWindowsShown(bool show)
{
    if (!WindowList)
        return;
    if (!show)
        RefreshForRemembered();
    bool refused = false;
    std::vector<TWindow*> notRestored;
    {
        BusyScope busy(*this);
        HWND lv = Control(ids::lstWindowName);
        std::vector<TWindow*> entries;
        int count = ui::LvGetItemCount(lv);
        for (int row = 0; row < count; ++row)
            if (ui::LvGetChecked(lv, row))
                if (TWindow* entry = RowWindow(row))
                    entries.push_back(entry);
        if (!show) {
            if (Closing())
                return;
            // The system would drop the request without a word, leaving a tick that did
            // nothing; the user is told instead, and the tick goes.
            refused = UntickOutOfReach(lv, entries);
            WindowList->RecordHiding(entries);   // one write for them all, before any is hidden
        }
        THiddenRecord::Batch batch(Record.get());
        if (show) {
            notRestored = WindowList->Restore(entries);
        } else {
            for (TWindow* entry : entries) {
                // Hiding another program's window may wait for it; the session may end
                // meanwhile, and what the close sequence gave back must stay given back.
                if (Closing())
                    break;
                if (WindowList->Contains(entry))
                    entry->SetShown(false);
            }
        }
    }
    SyncAudio();
    if (refused)
        Tell(L"无法隐藏该窗口：它属于以管理员身份运行的程序");
    if (show)
        WatchRestores(notRestored);
}

void TFrmAmbler::HideCheckedWindows() { SetCheckedWindowsShown(false); }

void TFrmAmbler::HideFrontWindow()
{
    if (!WindowList || Closing())
        return;
    {
        BusyScope busy(*this);
        TWindow* entry = WindowList->TickFront(ui::AsHwnd(hwnd_));
        if (!entry)
            return;
        // Recorded before it goes, as every window we hide.
        WindowList->RecordHiding({entry});
        entry->SetShown(false);
        // Listed where its title sorts, ticked, so that the restore gives it back.
        WindowList->SortByCaption();
        ShowWindowRows();
    }
    SyncAudio();
}

void TFrmAmbler::ToggleWindowsByHotKey(std::uint16_t id)
{
    if (!WindowList || Closing())
        return;
    // A remembered program's boss key: its windows opened since the last refresh are listed
    // first, and the key is on its first window.
    if (Remembered && id != 0) {
        for (int i = 0; i < WindowList->Count(); ++i) {
            const TWindow& entry = WindowList->Items(i);
            const bool remembered = std::any_of(Remembered->Programs().begin(), Remembered->Programs().end(),
                                                [&](const RememberedProgram& p) {
                                                    return p.alwaysTick && !p.bossKeyText.empty() &&
                                                           p.bossKeyText == entry.BossKeyText;
                                                });
            if (entry.HotKeyId == id && remembered) {
                RefreshForRemembered();
                break;
            }
        }
    }
    std::vector<TWindow*> notRestored;
    {
        BusyScope busy(*this);
        notRestored = WindowList->ToggleByHotKey(id);
    }
    SyncAudio();
    WatchRestores(notRestored);
}

void TFrmAmbler::WatchRestores(const std::vector<TWindow*>& refused)
{
    // Most windows are back within a few of our looks; one whose thread answers and is
    // still hidden after the last look has refused.
    constexpr UINT kRestoreCheckMs = 100;
    if (WindowList && WindowList->HasPendingRestores() && !Closing()) {
        restoreChecks_ = 0;
        ::SetTimer(hwnd_, kRestoreCheckTimer, kRestoreCheckMs, nullptr);
    }
    ReportRefusedRestores(refused);
}

void TFrmAmbler::RestoreCheckTick()
{
    constexpr int kRestoreChecks = 10;
    if (!WindowList || Closing()) {
        ::KillTimer(hwnd_, kRestoreCheckTimer);
        return;
    }
    // A window that takes long to answer is not asked under other work; the next look will.
    if (busy_ > 0)
        return;
    std::vector<TWindow*> refused;
    {
        BusyScope busy(*this);
        const bool judge = ++restoreChecks_ >= kRestoreChecks;
        refused = WindowList->SettleRestores(judge);
        // A window that does not answer may show much later; a refresh, or the close, sees it.
        if (judge || !WindowList->HasPendingRestores())
            ::KillTimer(hwnd_, kRestoreCheckTimer);
    }
    ReportRefusedRestores(refused);
}

void TFrmAmbler::ReportRefusedRestores(const std::vector<TWindow*>& refused)
{
    bool any = false;
    HWND lv = Control(ids::lstWindowName);
    for (TWindow* entry : refused) {
        if (!WindowList || !WindowList->Contains(entry))
            continue;
        any = true;
        entry->Selected = true;
        for (int row = 0; row < ui::LvGetItemCount(lv); ++row)
            if (RowWindow(row) == entry)
                ui::LvSetChecked(lv, row, true);
    }
    if (any)
        Tell(L"无法还原该窗口");
}

void TFrmAmbler::WaitForRestores(unsigned ms)
{
    if (!WindowList)
        return;
    // Apart by as much as the looks after Alt+R: a program that hides its window again at
    // once may take a moment to do it.
    constexpr ULONGLONG kLookMs = 100;
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    WindowList->SettleRestores(false);
    ULONGLONG nextLook = ::GetTickCount64() + kLookMs;
    for (ULONGLONG now = ::GetTickCount64(); WindowList->HasPendingRestores() && now < deadline;
         now = ::GetTickCount64()) {
        // The window repaints while it waits: a close must not look hung.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(nextLook > now ? nextLook - now : 0),
                                    QS_PAINT);
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
            ::DispatchMessageW(&msg);
        if (::GetTickCount64() >= nextLook) {
            WindowList->SettleRestores(false);
            nextLook = ::GetTickCount64() + kLookMs;
        }
    }
}

void TFrmAmbler::BtnHideWindowsClick() { HideCheckedWindows(); }

void TFrmAmbler::BtnShowWindowsClick() { SetCheckedWindowsShown(true); }

} // namespace tw
