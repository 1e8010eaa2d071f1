// What the user asked us to remember across runs: programs whose windows are always ticked
// (with their boss key) or muted while hidden, words whose windows are always ticked by their
// title, and tray icons that are always hidden. The row menus of the Windows and Tray pages
// change them; every change is saved at once.
#include "app/Unit1.h"

#include "app/TitleRuleDialog.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Handles.h"
#include "platform/ui/Text.h"
#include "settings/uIniFileMgr.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

namespace tw {

namespace {

// Icons appear whenever their programs start; a look once a second finds one within about
// two seconds, at the price of a few messages to the shell.
constexpr UINT kTrayWatchMs = 1000;

// The row a context menu is for, and where it opens. From the keyboard (-1, -1) it is the
// selected row, and the menu opens at its corner; with the mouse, the row under the pointer.
int ContextRow(HWND lv, int& x, int& y)
{
    if (x == -1 && y == -1) {
        int row = static_cast<int>(::SendMessageW(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (row < 0)
            return -1;
        RECT rc = ui::LvGetRowRect(lv, row);
        POINT pt{rc.left + 8, rc.bottom};
        ::ClientToScreen(lv, &pt);
        x = pt.x;
        y = pt.y;
        return row;
    }
    POINT pt{x, y};
    ::ScreenToClient(lv, &pt);
    return ui::LvRowAt(lv, pt);
}

// Whether some remembered icon has this text: only then is its owner worth reading.
bool TextRemembered(const TRememberedStore& store, const std::string& text)
{
    const std::vector<RememberedIcon>& icons = store.Icons();
    return std::any_of(icons.begin(), icons.end(), [&text](const RememberedIcon& icon) { return icon.text == text; });
}

UINT MenuFlags(bool checked, bool enabled)
{
    return MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED) | (enabled ? MF_ENABLED : MF_GRAYED);
}

// The rules a row's menu offers to forget: no more than fit a menu at a glance.
constexpr std::size_t kMaxRulesShown = 1 + ids::PopForgetTitleLast - ids::PopForgetTitle;

// A rule as a menu item shows it: "&" would underline the next letter, a tab would push the
// rest to the right edge, and a title-long rule would make the menu as wide as the screen.
std::wstring RuleItemText(const std::string& rule)
{
    constexpr std::size_t kMaxShown = 40;
    std::wstring text;
    for (wchar_t c : ui::FromUtf8(rule)) {
        if (text.size() >= kMaxShown) {
            text += L'…';
            break;
        }
        if (c == L'&')
            text += L'&';
        text += c < L' ' ? L' ' : c;
    }
    return L"标题含“" + text + L"”";
}

} // namespace

void TFrmAmbler::LoadRemembered()
{
    Remembered = std::make_unique<TRememberedStore>(IniFileMgr);
    Remembered->Load();
    // The store outlives the muter's every question: both live until the window goes.
    MuteWhenHidden = Remembered->MutePredicate();
}

void TFrmAmbler::SaveRemembered()
{
    try {
        if (Remembered)
            Remembered->Save();
    } catch (const std::exception&) {
        // The change holds for this run. A file that could not be written is tried again at
        // the next change; a damaged value is never written over, so whatever this run set
        // under it ends with the run, which the user hears now rather than at the next start.
        ui::ShowMessage(hwnd_, L"无法保存设置：System.ini 不可写");
    }
}

void TFrmAmbler::ApplyRememberedPrograms()
{
    if (!Remembered || !WindowList)
        return;
    TickByTitleRules();
    if (!Remembered->AnyAlwaysTicked())
        return;
    WindowList->TickPrograms([this](const std::string& exe) { return Remembered->TicksAlways(exe); });
    if (!hotKeys_)
        return;
    std::map<std::uint32_t, std::optional<std::string>> programs;   // by process id, asked once
    for (const RememberedProgram& program : Remembered->Programs()) {
        if (!program.alwaysTick || program.bossKeyText.empty())
            continue;
        TWindow* first = nullptr;
        bool carried = false;
        for (int i = 0; i < WindowList->Count() && !carried; ++i) {
            TWindow& entry = WindowList->Items(i);
            auto [it, isNew] = programs.try_emplace(entry.Pid);
            if (isNew)
                it->second = WindowList->ProgramOf(entry);
            if (!it->second || !SamePath(*it->second, program.path))
                continue;
            if (!first)
                first = &entry;
            carried = entry.BossKeyText == program.bossKeyText;
        }
        if (first && !carried)
            hotKeys_->SetWindowBossKey(*first, program.bossKeyText, program.modifier, program.key);
    }
}

void TFrmAmbler::TickByTitleRules()
{
    if (!Remembered || !WindowList || !Remembered->AnyTitleRule())
        return;
    // As for a remembered program, a window unticked by hand stays so until the next refresh.
    for (int i = 0; i < WindowList->Count(); ++i) {
        TWindow& entry = WindowList->Items(i);
        if (!entry.Selected && Remembered->MatchesTitleRule(entry.Title))
            entry.Selected = true;
    }
}

void TFrmAmbler::RefreshForRemembered()
{
    if (Remembered && (Remembered->AnyAlwaysTicked() || Remembered->AnyTitleRule()) && !Closing())
        FillWindowPage();
}

void TFrmAmbler::RememberBossKey(TWindow& window)
{
    if (!Remembered || !WindowList)
        return;
    std::optional<std::string> exe = WindowList->ProgramOf(window);
    if (!exe || !Remembered->TicksAlways(*exe))
        return;
    Remembered->SetBossKey(*exe, window.BossKeyText, static_cast<std::uint16_t>(window.Modifier),
                           static_cast<std::uint16_t>(window.Key));
    SaveRemembered();
}

void TFrmAmbler::lstWindowNameContextMenu(int x, int y)
{
    HWND lv = Control(ids::lstWindowName);
    TWindow* entry = RowWindow(ContextRow(lv, x, y));
    if (!entry || !Remembered)
        return;
    // A program that cannot be read could never be matched again: nothing to offer.
    std::optional<std::string> exe = WindowList->ProgramOf(*entry);
    const bool known = exe && !exe->empty();
    ui::UniqueMenu menu(::CreatePopupMenu());
    if (!menu)
        return;
    ::AppendMenuW(menu.Get(), MenuFlags(known && Remembered->TicksAlways(*exe), known), ids::PopAlwaysTick,
                  L"总是勾选此程序");
    ::AppendMenuW(menu.Get(), MenuFlags(known && Remembered->MutesWhenHidden(*exe), known), ids::PopMuteHidden,
                  L"隐藏时静音");
    ::AppendMenuW(menu.Get(), MF_STRING, ids::PopTickByTitle, L"总是勾选标题含…的窗口");
    // Kept by value: the menu's own message loop may free the entry.
    const std::string title = entry->Title;
    const std::vector<std::string> rules = Remembered->TitleRulesIn(title, kMaxRulesShown);
    if (!rules.empty())
        ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    for (std::size_t i = 0; i < rules.size(); ++i)
        ::AppendMenuW(menu.Get(), MenuFlags(true, true), ids::PopForgetTitle + static_cast<int>(i),
                      RuleItemText(rules[i]).c_str());
    const int chosen = static_cast<int>(::TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON |
                                                                       TPM_RETURNCMD | TPM_NONOTIFY,
                                                         x, y, 0, hwnd_, nullptr));
    if (chosen == ids::PopTickByTitle) {
        AskTitleRule(title);
        return;
    }
    if (chosen >= ids::PopForgetTitle && chosen < ids::PopForgetTitle + static_cast<int>(rules.size())) {
        // Forgetting leaves the ticks as they are, as for a program.
        Remembered->ForgetTitleRule(rules[static_cast<std::size_t>(chosen - ids::PopForgetTitle)]);
        SaveRemembered();
        return;
    }
    // The menu's own message loop may have run a refresh that freed the entry.
    if (!known || !WindowList->Contains(entry))
        return;
    if (chosen == ids::PopAlwaysTick) {
        ToggleRememberedProgram(*entry, *exe);
    } else if (chosen == ids::PopMuteHidden) {
        Remembered->SetMuteWhenHidden(*exe, !Remembered->MutesWhenHidden(*exe));
        SaveRemembered();
        // A program whose windows are hidden now goes quiet, or is heard again, at once.
        SyncAudio();
    }
}

void TFrmAmbler::ToggleRememberedProgram(TWindow& entry, const std::string& exe)
{
    // Forgetting leaves the ticks as they are: the user may still want this run's hide.
    if (Remembered->TicksAlways(exe)) {
        Remembered->SetAlwaysTick(exe, false);
        SaveRemembered();
        return;
    }
    Remembered->SetAlwaysTick(exe, true);
    // A boss key the program already has goes with it.
    if (!entry.BossKeyText.empty())
        RememberBossKey(entry);
    for (int i = 0; i < WindowList->Count() && Remembered->FindProgram(exe)->bossKeyText.empty(); ++i) {
        TWindow& other = WindowList->Items(i);
        std::optional<std::string> theirs = other.BossKeyText.empty() ? std::nullopt : WindowList->ProgramOf(other);
        if (theirs && SamePath(*theirs, exe))
            RememberBossKey(other);
    }
    SaveRemembered();
    WindowList->TickPrograms([&exe](const std::string& other) { return SamePath(other, exe); });
    ShowWindowRows();
}

void TFrmAmbler::AskTitleRule(const std::string& title)
{
    std::optional<std::wstring> rule;
    {
        TFrmTitleRule dialog;
        dialog.Create(hwnd_, ui::FromUtf8(title));
        rule = dialog.Ask(hwnd_);
    }
    // The window may have been closed (a "/quit") while the dialog was open.
    if (!rule || !::IsWindow(hwnd_) || !Remembered || !WindowList)
        return;
    if (!Remembered->AddTitleRule(ui::ToUtf8(*rule)))
        return;
    SaveRemembered();
    TickByTitleRules();
    ShowWindowRows();
}

void TFrmAmbler::HideRememberedIcons()
{
    if (!Remembered || !TrayIconList || Closing())
        return;
    // Owners are read by the refresh only while some icon is remembered: the common refresh
    // does not pay for them.
    TrayIconList->ReadOwners = !Remembered->Icons().empty();
    if (!TrayIconList->ReadOwners)
        return;
    bool learning = true;
    for (int i = 0; i < TrayIconList->Count(); ++i) {
        TTrayIcon& icon = TrayIconList->Items(i);
        if (icon.Hidden || !TextRemembered(*Remembered, icon.Name))
            continue;
        // Listed by a refresh that did not read owners (the first, say). A shell that does not
        // answer costs one wait, not one per icon; the next refresh reads the owners anyway.
        if (learning && !icon.OwnerRead) {
            TrayIconList->LearnOwner(icon);
            learning = icon.OwnerRead;
        }
        if (Remembered->IsIconRemembered(icon.OwnerPath, icon.Name))
            icon.SetHidden(true);
    }
}

void TFrmAmbler::lstTrayIconsContextMenu(int x, int y)
{
    HWND lv = Control(ids::lstTrayIcons);
    const int row = ContextRow(lv, x, y);
    TTrayIcon* icon = RowIcon(row);
    if (!icon || !Remembered)
        return;
    {
        BusyScope busy(*this);
        TrayIconList->LearnOwner(*icon);
    }
    ui::UniqueMenu menu(::CreatePopupMenu());
    if (!menu)
        return;
    ::AppendMenuW(menu.Get(), MenuFlags(Remembered->IsIconRemembered(icon->OwnerPath, icon->Name), true),
                  ids::PopAlwaysHideIcon, L"总是隐藏此图标");
    const int chosen = static_cast<int>(::TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON |
                                                                       TPM_RETURNCMD | TPM_NONOTIFY,
                                                         x, y, 0, hwnd_, nullptr));
    if (chosen == ids::PopAlwaysHideIcon && TrayIconList->Contains(icon))
        ToggleRememberedIcon(*icon);
}

void TFrmAmbler::ToggleRememberedIcon(TTrayIcon& icon)
{
    // Remembered by its program when that can be read: another program's icon with the same
    // text is left alone. One whose program cannot be read is remembered by its text.
    const bool remember = !Remembered->IsIconRemembered(icon.OwnerPath, icon.Name);
    Remembered->SetIconRemembered(icon.OwnerPath, icon.Name, remember);
    SaveRemembered();
    TrayIconList->ReadOwners = !Remembered->Icons().empty();
    if (remember && Closing())
        return;
    {
        BusyScope busy(*this);
        icon.SetHidden(remember);
    }
    HWND lv = Control(ids::lstTrayIcons);
    for (int row = 0; row < ui::LvGetItemCount(lv); ++row)
        if (RowIcon(row) == &icon)
            ui::LvSetChecked(lv, row, icon.Hidden);
    WatchTrayIcons();
}

void TFrmAmbler::WatchTrayIcons()
{
    if (Remembered && !Remembered->Icons().empty() && !Closing())
        ::SetTimer(hwnd_, kTrayWatchTimer, kTrayWatchMs, nullptr);
}

void TFrmAmbler::TrayWatchTick()
{
    if (!Remembered || Remembered->Icons().empty() || !TrayIconList || Closing()) {
        ::KillTimer(hwnd_, kTrayWatchTimer);
        return;
    }
    // Work that waits on another program is not entered again; the next look will do.
    if (busy_ > 0)
        return;
    bool changed = false;
    {
        BusyScope busy(*this);
        changed = TrayIconList->LooksChanged();
    }
    if (changed)
        FillTrayPage();
}

} // namespace tw
