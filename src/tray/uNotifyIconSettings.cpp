// The Windows 11 shell's notification area: no toolbar any more, but a registry key per icon
// under the user's notification-icon settings. Its "IsPromoted" value says whether the icon
// shows on the taskbar (1) or in the hidden-icons flyout (0), which is what hiding means
// there: the icon itself cannot be taken away.
#include "tray/uTrayIconHider.h"
#include "platform/WideText.h"

#include "record/uHiddenRecord.h"

namespace tw {

namespace {

constexpr char kSettingsKey[] = "Control Panel\\NotifyIconSettings";
constexpr char kPromoted[] = "IsPromoted";
constexpr OsVersion kFirstSettingsShell{10, 0, 22000};
// What hiding writes: the icon goes into the flyout. It is the one value we ever write, so
// the record need not say it to tell our value from one the user set since.
constexpr std::uint32_t kHiddenPromoted = 0;

std::string KeyPath(const std::string& key) { return std::string(kSettingsKey) + "\\" + key; }

std::string FileName(const std::string& path)
{
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

TTrayIcon* TTrayIconList::Find(const ReadIcon& read)
{
    if (read.key.empty())
        return Find(read.toolbar, read.id);
    for (auto& item : items_)
        if (item->SettingsKey == read.key)
            return item.get();
    return nullptr;
}

void TTrayIconList::Forget(const TTrayIcon& icon)
{
    if (!record_)
        return;
    if (icon.SettingsKey.empty())
        record_->RemoveIcon(icon.Toolbar, icon.CommandId);
    else
        record_->RemoveSetting(icon.SettingsKey);
}

std::optional<std::vector<TTrayIconList::ReadIcon>> TTrayIconList::ReadSettings()
{
    if (!registry_ || processes_.SystemVersion() < kFirstSettingsShell)
        return std::nullopt;
    std::optional<std::vector<std::string>> keys = registry_->SubKeys(kSettingsKey);
    if (!keys)
        return std::nullopt;
    std::vector<ReadIcon> read;
    for (std::string& key : *keys) {
        std::string name = SettingName(key);
        const bool owners = ReadOwners && identity_;
        std::string owner = owners ? SettingOwner(key) : std::string();
        read.push_back({0, 0, std::move(name), std::move(key), std::move(owner), owners});
    }
    return read;
}

std::string TTrayIconList::SettingOwner(const std::string& key)
{
    // The shell names a program below a known folder by the folder's identifier:
    // "{6D809377-6AF0-444B-8957-A3773F02200E}\Vendor\app.exe" is in Program Files. Resolved,
    // it is the path the program's process reports, which a toolbar's icon is known by too.
    std::string exe = registry_->ReadString(KeyPath(key), "ExecutablePath").value_or("");
    constexpr std::size_t kIdLength = 38;   // "{" 8-4-4-4-12 hexadecimal digits "}"
    if (exe.size() < kIdLength || exe.front() != '{' || exe[kIdLength - 1] != '}')
        return exe;
    std::optional<std::string> folder = registry_->KnownFolderPath(exe.substr(0, kIdLength));
    // A folder this system does not know could name no running program.
    return folder ? *folder + exe.substr(kIdLength) : std::string();
}

bool TTrayIconList::SettingsLookChanged()
{
    // A program's first icon adds a key; one seen before comes back under its own key, where
    // a value we wrote keeps it in the flyout.
    std::optional<std::size_t> count = registry_ ? registry_->SubKeyCount(kSettingsKey) : std::nullopt;
    std::vector<std::intptr_t> counts{count ? static_cast<std::intptr_t>(*count) : -1};
    const bool changed = counts != counts_;
    counts_ = std::move(counts);
    return changed;
}

std::string TTrayIconList::SettingName(const std::string& key)
{
    const std::string path = KeyPath(key);
    std::string name = registry_->ReadString(path, "InitialTooltip").value_or("");
    if (name.empty())
        name = FileName(registry_->ReadString(path, "ExecutablePath").value_or(""));
    return name;   // UTF-8, as the toolbar's wide texts are kept
}

bool TTrayIconList::SetPromoted(TTrayIcon& icon, bool show)
{
    if (!registry_)
        return false;
    const std::string path = KeyPath(icon.SettingsKey);
    if (show) {
        // Only what we changed is put back; an icon we never hid is left as the user set it.
        if (!icon.PromotedSaved)
            return true;
        // The user may have moved the icon since (in the taskbar's settings, or by dragging
        // it): the value is ours to put back only while it still holds what we wrote.
        if (registry_->ReadDword(path, kPromoted) == kHiddenPromoted &&
            !registry_->WriteDword(path, kPromoted, icon.Promoted))
            return false;
        icon.PromotedSaved = false;
        return true;
    }
    if (!icon.PromotedSaved) {
        icon.Promoted = registry_->ReadDword(path, kPromoted);
        icon.PromotedSaved = true;
        // On disk before the change, as every hiding is.
        if (record_)
            record_->AddSetting(icon.SettingsKey, icon.Promoted);
    }
    return registry_->WriteDword(path, kPromoted, kHiddenPromoted);
}

bool TTrayIconList::GiveBackSetting(TTrayIcon& icon)
{
    if (icon.SetShown(true))
        return true;
    // A key that is gone took our value with it: nothing is left to put back.
    return !registry_ || !registry_->SubKeys(KeyPath(icon.SettingsKey));
}

void TTrayIconList::AdoptRecordedSettings()
{
    if (!record_ || !registry_)
        return;
    std::vector<std::string> gone;
    for (const RecordedSetting& recorded : std::vector<RecordedSetting>(record_->Settings())) {
        if (Find(ReadIcon{0, 0, {}, recorded.key, {}, false}))
            continue;
        if (!registry_->SubKeys(KeyPath(recorded.key))) {
            gone.push_back(recorded.key);   // the icon's program is gone: nothing to put back
            continue;
        }
        TTrayIcon& icon = Append(0, 0, SettingName(recorded.key));
        icon.SettingsKey = recorded.key;
        icon.Promoted = recorded.promoted;
        icon.PromotedSaved = true;
        icon.Hidden = true;
    }
    THiddenRecord::Batch batch(record_);
    for (const std::string& key : gone)
        record_->RemoveSetting(key);
}

} // namespace tw
