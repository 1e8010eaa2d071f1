// The icon list: what a reading of the toolbars finds, reconciled with the icons already
// listed, ticked, recorded and awaited. The toolbar's protocol is TrayToolbar's.
#include "tray/uTrayIconHider.h"

#include "platform/WideText.h"
#include "record/uHiddenRecord.h"
#include "tray/TrayToolbar.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace tw {

namespace {

bool IsSilent(const std::vector<Hwnd>& silent, Hwnd h)
{
    return std::find(silent.begin(), silent.end(), h) != silent.end();
}

} // namespace

TrayLine SplitTrayLine(std::string_view line)
{
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return {std::string(line), std::string()};
    return {std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))};
}

std::optional<std::int32_t> TrayLineId(const TrayLine& line)
{
    std::int32_t id = 0;
    const char* first = line.name.data();
    const char* last = first + line.name.size();
    auto [end, ec] = std::from_chars(first, last, id, 10);
    if (ec != std::errc() || end != last || first == last)
        return std::nullopt;
    return id;
}

// ---------------------------------------------------------------------------------------

TTrayIcon::TTrayIcon(WindowApi& api, Hwnd toolbar, TTrayIconList* owner) : Toolbar(toolbar), Owner(owner), api_(api)
{
}

bool TTrayIcon::SetShown(bool show)
{
    if (!SettingsKey.empty())
        return Owner && Owner->SetPromoted(*this, show);
    return SetButtonShown(api_, Toolbar, CommandId, show);
}

void TTrayIcon::SetHidden(bool hidden)
{
    THiddenRecord* record = Owner ? Owner->Record() : nullptr;
    if (hidden) {
        // The record keeps the text in the ANSI code page, as it always has, so that any
        // version of the program reads it. A setting is recorded by SetShown, once the value
        // to put back has been read.
        if (record && SettingsKey.empty())
            record->AddIcon(Toolbar, CommandId, api_.AnsiForm(Utf16FromUtf8(Name)));
        SetShown(false);
        Hidden = true;
        return;
    }
    bool answered = SetShown(true);
    Hidden = false;
    // A toolbar that did not answer may still hold the button hidden: the record keeps it.
    if (Owner && answered)
        Owner->Forget(*this);
}

// ---------------------------------------------------------------------------------------

TTrayIconList::TTrayIconList(WindowApi& windows, ProcessApi& processes, THiddenRecord* record, RegistryApi* registry,
                             IdentityApi* identity)
    : windows_(windows), processes_(processes), record_(record), registry_(registry), identity_(identity)
{
    Toolbar = FindToolbar();
    Overflow = FindOverflowToolbar();
}

Hwnd TTrayIconList::FindToolbar()
{
    Hwnd taskbar = windows_.FindWindowA("Shell_TrayWnd");
    if (!taskbar)
        return 0;
    Hwnd notify = windows_.FindChildWindowA(taskbar, "TrayNotifyWnd");
    if (!notify)
        return 0;
    // Older shells put the toolbar straight under the notification window, without a pager;
    // a shell with neither gets its questions at the last window found.
    Hwnd current = notify;
    if (Hwnd pager = windows_.FindChildWindowA(notify, "SysPager"))
        current = pager;
    if (Hwnd toolbar = windows_.FindChildWindowA(current, "ToolbarWindow32"))
        return toolbar;
    return current;
}

Hwnd TTrayIconList::FindOverflowToolbar()
{
    Hwnd flyout = windows_.FindWindowA("NotifyIconOverflowWindow");
    return flyout ? windows_.FindChildWindowA(flyout, "ToolbarWindow32") : 0;
}

TTrayIcon* TTrayIconList::Find(Hwnd toolbar, std::int32_t id)
{
    for (auto& item : items_)
        if (item->Toolbar == toolbar && item->CommandId == id)
            return item.get();
    return nullptr;
}

TTrayIcon* TTrayIconList::FindById(std::int32_t id)
{
    for (auto& item : items_)
        if (item->CommandId == id)
            return item.get();
    return nullptr;
}

bool TTrayIconList::Contains(const TTrayIcon* icon) const
{
    return icon && std::any_of(items_.begin(), items_.end(), [icon](const auto& item) { return item.get() == icon; });
}

TTrayIcon& TTrayIconList::Append(Hwnd toolbar, std::int32_t id, std::string name)
{
    auto icon = std::make_unique<TTrayIcon>(windows_, toolbar, this);
    icon->CommandId = id;
    icon->Name = std::move(name);
    items_.push_back(std::move(icon));
    return *items_.back();
}

TTrayIcon& TTrayIconList::AddIcon(std::int32_t id, std::string name, bool show)
{
    TTrayIcon& icon = Append(Toolbar, id, std::move(name));
    icon.SetShown(show);
    icon.Hidden = false;
    return icon;
}

void TTrayIconList::ShowAll()
{
    // A hung shell costs one time-out per pass, not one per icon. The Windows 11 shell's
    // settings list every icon, wherever it shows: nothing to put back.
    std::vector<Hwnd> silent;
    for (auto& item : items_)
        if (item->SettingsKey.empty() && !IsSilent(silent, item->Toolbar) && !item->SetShown(true))
            silent.push_back(item->Toolbar);
}

void TTrayIconList::ShowHidden(bool waitForShell)
{
    awaited_.clear();
    std::vector<Hwnd> silent;
    std::vector<Hwnd> answered;
    THiddenRecord::Batch batch(record_);
    for (auto& item : items_) {
        if (!item->Hidden || IsSilent(silent, item->Toolbar))
            continue;
        // The system ends a program that holds up the log-off; the icons stay recorded, and a
        // shell that ends with the session takes its buttons along anyway.
        if (!waitForShell && item->SettingsKey.empty() && !IsSilent(answered, item->Toolbar)) {
            std::intptr_t ignored = 0;
            if (!SendAtOnce(windows_, item->Toolbar, 0 /* WM_NULL */, 0, ignored)) {
                silent.push_back(item->Toolbar);
                continue;
            }
            answered.push_back(item->Toolbar);
        }
        if (!item->SetShown(true)) {
            silent.push_back(item->Toolbar);
            continue;
        }
        item->Hidden = false;
        Forget(*item);
    }
}

void TTrayIconList::AdoptRecorded()
{
    if (!record_)
        return;
    std::vector<std::pair<Hwnd, std::int32_t>> stale;
    for (const RecordedIcon& recorded : std::vector<RecordedIcon>(record_->Icons())) {
        if (Find(recorded.toolbar, recorded.id))
            continue;
        const bool current = recorded.toolbar == Toolbar || (Overflow && recorded.toolbar == Overflow);
        if (!current || !record_->IsSameShell(recorded)) {
            stale.emplace_back(recorded.toolbar, recorded.id);
            continue;
        }
        bool hidden = false;
        if (!AskButtonHidden(windows_, recorded.toolbar, recorded.id, hidden))
            continue;   // a shell that does not answer now may still hold it: asked again next start
        // A button no longer there answers "not hidden", like one somebody showed again.
        if (!hidden) {
            stale.emplace_back(recorded.toolbar, recorded.id);
            continue;
        }
        Append(recorded.toolbar, recorded.id, Utf8FromUtf16(windows_.WideForm(recorded.text))).Hidden = true;
    }
    THiddenRecord::Batch batch(record_);
    record_->RemoveIcons(stale);
    AdoptRecordedSettings();
}

std::vector<Hwnd> TTrayIconList::FindToolbars()
{
    Toolbar = FindToolbar();
    Overflow = FindOverflowToolbar();
    std::vector<Hwnd> out;
    for (Hwnd toolbar : {Toolbar, Overflow})
        if (toolbar && IsToolbarWindow(windows_, toolbar))
            out.push_back(toolbar);
    return out;
}

void TTrayIconList::ReadButtons(std::vector<std::string>& lines)
{
    TTrayToolbarReader reader(windows_, processes_, nullptr);
    for (Hwnd toolbar : FindToolbars()) {
        std::vector<TrayButton> buttons;
        reader.Read(toolbar, {}, buttons);
        for (const TrayButton& button : buttons)
            lines.push_back(std::to_string(button.id) + "=" + button.text);
    }
}

std::vector<TTrayIconList::ReadIcon> TTrayIconList::ReadIcons(std::vector<Hwnd>& silent, std::vector<Hwnd>& incomplete)
{
    // Owners cost a read per button and a question per program: only asked for when a
    // remembered icon may need them.
    const bool owners = ReadOwners && identity_;
    TTrayToolbarReader reader(windows_, processes_, owners ? identity_ : nullptr);
    std::vector<ReadIcon> read;
    for (Hwnd toolbar : FindToolbars()) {
        // A listed icon keeps the text it was first listed with, so only new buttons' texts
        // are read: most of a refresh's round trips into the shell. Its button's record is
        // enough to know it is still there, hidden or not.
        TTrayToolbarReader::Hooks hooks{[this, toolbar](std::int32_t id) { return Find(toolbar, id) != nullptr; }};
        std::vector<TrayButton> buttons;
        if (IsSilent(silent, toolbar) || !reader.Read(toolbar, hooks, buttons)) {
            silent.push_back(toolbar);
            incomplete.push_back(toolbar);
        }
        for (TrayButton& button : buttons)
            read.push_back({toolbar, button.id, std::move(button.text), {}, std::move(button.owner), owners, button.hidden});
    }
    return read;
}

void TTrayIconList::DropVanished(const std::vector<ReadIcon>& read, const std::vector<Hwnd>& incomplete)
{
    auto listed = [&read](const TTrayIcon& icon) {
        return std::any_of(read.begin(), read.end(), [&icon](const ReadIcon& r) {
            return r.toolbar == icon.Toolbar && r.id == icon.CommandId && r.key == icon.SettingsKey;
        });
    };
    THiddenRecord::Batch batch(record_);
    for (std::size_t i = items_.size(); i-- > 0;) {
        TTrayIcon& icon = *items_[i];
        // A shell that stopped answering says nothing about which icons are gone; forgetting
        // them would leave the ones we hid hidden for good once it answers again.
        if (listed(icon) || IsSilent(incomplete, icon.Toolbar))
            continue;
        // A reading without the settings (they could not be read, or a toolbar serves the
        // notification area now) says nothing of the flyout, where the icons we moved may
        // still be.
        if (icon.Hidden && !icon.SettingsKey.empty() && !GiveBackSetting(icon))
            continue;
        // Only a toolbar that is gone means a restarted shell; an icon that left a toolbar
        // still there was removed by its program, and a new one with its text is another.
        if (icon.Hidden && icon.SettingsKey.empty() && !IsToolbarWindow(windows_, icon.Toolbar))
            awaited_.push_back(icon.Name);
        Forget(icon);
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void TTrayIconList::HideIfAwaited(TTrayIcon& icon)
{
    auto awaited = std::find(awaited_.begin(), awaited_.end(), icon.Name);
    if (awaited == awaited_.end())
        return;
    awaited_.erase(awaited);
    icon.SetHidden(true);
}

void TTrayIconList::RefreshIcons()
{
    std::vector<Hwnd> silent;
    std::vector<Hwnd> incomplete;
    // The reading lists the icons we hid from their buttons' records, hidden as they are:
    // shown to be read, they would flash on the taskbar, and stay on show should the shell
    // stop answering before they were hidden again.
    std::vector<ReadIcon> read = ReadIcons(silent, incomplete);
    const bool toolbarFound = IsToolbarWindow(windows_, Toolbar) || (Overflow && IsToolbarWindow(windows_, Overflow));
    // From Windows 11 the shell keeps its icons elsewhere, and a toolbar it may still have
    // holds none of them.
    std::optional<std::vector<ReadIcon>> settings;
    if (read.empty() && incomplete.empty())
        settings = ReadSettings();
    if (settings)
        read = std::move(*settings);
    readable_ = toolbarFound || settings.has_value();
    settingsShell_ = settings.has_value();
    DropVanished(read, incomplete);

    // The first line of an identifier wins; Find sees the icons added in this loop too. A new
    // icon is not asked to show itself, as AddIcon would: the reading has just seen it visible.
    for (ReadIcon& r : read) {
        TTrayIcon* icon = Find(r);
        if (!icon) {
            icon = &Append(r.toolbar, r.id, std::move(r.name));
            icon->SettingsKey = std::move(r.key);
            HideIfAwaited(*icon);
        }
        // An icon listed while owners were not read learns its owner from the first reading that has it.
        if (r.ownerRead && !icon->OwnerRead) {
            icon->OwnerPath = std::move(r.owner);
            icon->OwnerRead = true;
        }
    }

    FollowTicks(read, silent);
}

void TTrayIconList::FollowTicks(const std::vector<ReadIcon>& read, std::vector<Hwnd>& silent)
{
    auto foundHidden = [&read](const TTrayIcon& icon) {
        return std::any_of(read.begin(), read.end(), [&icon](const ReadIcon& r) {
            return r.hidden && r.toolbar == icon.Toolbar && r.id == icon.CommandId;
        });
    };
    // The ticks on the page come from Hidden. A ticked icon showing again was added anew by
    // its program, or shown by somebody else; an unticked one hidden was hidden without a
    // tick (a tick toggled from the keyboard, say), and the page says it shows. The Windows
    // 11 shell's settings are never found hidden: a ticked one is put in the flyout again.
    for (auto& item : items_)
        if (item->Hidden != foundHidden(*item) && !IsSilent(silent, item->Toolbar) && !item->SetShown(!item->Hidden))
            silent.push_back(item->Toolbar);
}

void TTrayIconList::LearnOwner(TTrayIcon& icon)
{
    if (icon.OwnerRead || !identity_)
        return;
    if (!icon.SettingsKey.empty()) {
        icon.OwnerPath = SettingOwner(icon.SettingsKey);
        icon.OwnerRead = true;
        return;
    }
    // A toolbar that does not answer now is asked again next time.
    TTrayToolbarReader reader(windows_, processes_, identity_);
    if (std::optional<std::string> owner = reader.ReadOwner(icon.Toolbar, icon.CommandId)) {
        icon.OwnerPath = std::move(*owner);
        icon.OwnerRead = true;
    }
}

bool TTrayIconList::LooksChanged()
{
    if (settingsShell_)
        return SettingsLookChanged();
    // Asked once a second on the window's thread: a shell that is busy is not waited for.
    std::vector<std::intptr_t> counts;
    std::vector<Hwnd> silent;
    const Hwnd toolbars[] = {Toolbar, Overflow};
    for (std::size_t i = 0; i < std::size(toolbars); ++i) {
        std::intptr_t count = -1;
        if (toolbars[i] && !SendAtOnce(windows_, toolbars[i], tb::ButtonCount, 0, count)) {
            // No answer is no news: taken for a change, it would start a refresh that waits
            // on the busy shell after all.
            count = i < counts_.size() ? counts_[i] : -1;
            silent.push_back(toolbars[i]);
        }
        counts.push_back(count);
    }
    bool changed = counts != counts_;
    counts_ = std::move(counts);
    for (auto& item : items_) {
        if (changed)
            break;
        if (!item->Hidden || !item->SettingsKey.empty() || IsSilent(silent, item->Toolbar))
            continue;
        // A button no longer there answers "not hidden" too: either way the icon shows.
        bool hidden = false;
        if (!AskButtonHiddenAtOnce(windows_, item->Toolbar, item->CommandId, hidden))
            silent.push_back(item->Toolbar);
        else
            changed = !hidden;
    }
    return changed;
}

} // namespace tw
