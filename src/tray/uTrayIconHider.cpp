#include "tray/uTrayIconHider.h"

#include "platform/WideText.h"
#include "record/uHiddenRecord.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace tw {

namespace {

// One buffer in the shell's process serves a whole reading: the button record at its start,
// the button's text right after the record.
constexpr std::size_t kSharedBufferSize = 4096;

// The record is the 32-bit TBBUTTON: iBitmap, idCommand, fsState, fsStyle, two reserved
// bytes, dwData, iString. On 64-bit Windows the shell is a 64-bit process and fills the
// 64-bit TBBUTTON instead (six reserved bytes, then two 8-byte fields: 32 bytes), so its
// tail spills into the text area. That does no harm because idCommand sits at offset 4 in
// both layouts, and the text is fetched only after the record has been read back, so it
// overwrites the spilled bytes before we look at them.
constexpr std::size_t kRecordSize = 20;
constexpr std::size_t kIdCommandOffset = 4;
constexpr std::size_t kTextOffset = kRecordSize;
// What we read back of a button's text, in UTF-16 units: the wide message gives every tip
// exactly, whatever the code page. The shell writes the text whole, without a capacity;
// tray tips are far shorter (the shell keeps at most 128 characters).
constexpr std::size_t kTextLength = 1025;
// The toolbar writes a button's text, and its NUL, wherever we point it and however long it
// is, so the text is fetched only when its length, asked first, fits behind the record.
constexpr std::size_t kTextRoom = (kSharedBufferSize - kTextOffset) / sizeof(char16_t);

// Toolbar messages go only to a window of this class: the pager or the notification window
// that the search falls back to would take TB_* numbers for messages of their own, some of
// which write through lParam.
constexpr char kToolbarClass[] = "ToolbarWindow32";

// Checking a hide or show request a few times is plenty for a toolbar that obeys; one that
// never reports the requested state (an identifier no longer on it, a handle that now names
// some other window) must not keep us asking for ever.
constexpr int kMaxHideRequests = 3;

// No tray holds anywhere near this many icons. A window that is not a toolbar may answer
// TB_BUTTONCOUNT with any number at all, and each button costs four round trips into the
// shell, so a wild count is cut down rather than followed.
constexpr std::intptr_t kMaxButtons = 4096;

// Below 5.1 the notification area is not the toolbar read here.
constexpr OsVersion kFirstToolbarTray{5, 1};

// Command identifiers are ints; a 32-bit wParam carries their bits unchanged (and a 64-bit
// shell truncates the zero-extended value back to the same int).
std::uintptr_t IdParam(std::int32_t id) { return static_cast<std::uintptr_t>(static_cast<std::uint32_t>(id)); }

bool IsSilent(const std::vector<Hwnd>& silent, Hwnd h)
{
    return std::find(silent.begin(), silent.end(), h) != silent.end();
}

// Class names compare without regard to case, as the system looks them up.
bool IsToolbar(WindowApi& api, Hwnd w)
{
    const std::string cls = api.ClassName(w);
    return std::equal(cls.begin(), cls.end(), std::begin(kToolbarClass), std::end(kToolbarClass) - 1,
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
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
    // After a shell restart the handle may name some other window, or none.
    if (!IsToolbar(api_, Toolbar))
        return false;
    for (int requests = 0;; ++requests) {
        std::intptr_t hidden = 0;
        if (!api_.SendMessageA(Toolbar, tb::IsButtonHidden, IdParam(CommandId), 0, hidden))
            return false;
        if ((hidden != 0) != show)
            return true;   // the button is as asked
        if (requests == kMaxHideRequests)
            return true;   // it refuses; asking again would not change its mind
        std::intptr_t ignored = 0;
        if (!api_.SendMessageA(Toolbar, tb::HideButton, IdParam(CommandId), show ? 0 : 1, ignored))
            return false;
    }
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

TTrayIconList::TTrayIconList(WindowApi& windows, ProcessApi& processes, THiddenRecord* record, RegistryApi* registry)
    : windows_(windows), processes_(processes), record_(record), registry_(registry)
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

void TTrayIconList::ShowHidden()
{
    awaited_.clear();
    std::vector<Hwnd> silent;
    THiddenRecord::Batch batch(record_);
    for (auto& item : items_) {
        if (!item->Hidden || IsSilent(silent, item->Toolbar))
            continue;
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
        std::intptr_t hidden = 0;
        if (!windows_.SendMessageA(recorded.toolbar, tb::IsButtonHidden, IdParam(recorded.id), 0, hidden))
            continue;   // a shell that does not answer now may still hold it: asked again next start
        // A button no longer there answers "not hidden", like one somebody showed again.
        if (hidden == 0) {
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
        if (toolbar && IsToolbar(windows_, toolbar))
            out.push_back(toolbar);
    return out;
}

void TTrayIconList::ReadButtons(std::vector<std::string>& lines)
{
    std::vector<Hwnd> silent;
    for (Hwnd toolbar : FindToolbars())
        ReadButtons(toolbar, lines, silent);
}

bool TTrayIconList::ReadButtons(Hwnd toolbar, std::vector<std::string>& lines, std::vector<Hwnd>& silent,
                                bool showListed)
{
    if (IsSilent(silent, toolbar))
        return false;
    std::uint32_t pid = windows_.GetWindowProcessId(toolbar);
    // The buffer owns the process handle too: both are let go on every way out.
    std::unique_ptr<RemoteBuffer> buffer = processes_.ReserveRemoteBuffer(pid, kSharedBufferSize);
    if (!buffer)
        return true;
    if (processes_.SystemVersion() < kFirstToolbarTray)
        return true;
    if (ReadInto(toolbar, *buffer, lines, showListed))
        return true;
    silent.push_back(toolbar);
    return false;
}

bool TTrayIconList::ReadInto(Hwnd toolbar, RemoteBuffer& buffer, std::vector<std::string>& lines, bool showListed)
{
    std::intptr_t count = 0;
    if (!windows_.SendMessageA(toolbar, tb::ButtonCount, 0, 0, count))
        return false;
    count = std::clamp<std::intptr_t>(count, 0, kMaxButtons);
    const std::uintptr_t address = buffer.Address();

    for (std::intptr_t index = 0; index < count; ++index) {
        std::uint8_t record[kRecordSize]{};
        buffer.Write(0, record, kRecordSize);
        std::intptr_t ignored = 0;
        if (!windows_.SendMessageA(toolbar, tb::GetButton, static_cast<std::uintptr_t>(index),
                                   static_cast<std::intptr_t>(address), ignored))
            return false;
        if (!buffer.Read(0, record, kRecordSize))
            std::memset(record, 0, kRecordSize);
        std::int32_t id = 0;
        std::memcpy(&id, record + kIdCommandOffset, sizeof id);

        std::intptr_t hidden = 0;
        if (!windows_.SendMessageA(toolbar, tb::IsButtonHidden, IdParam(id), 0, hidden))
            return false;
        if (hidden != 0 && showListed && ShowListed(toolbar, id) &&
            !windows_.SendMessageA(toolbar, tb::IsButtonHidden, IdParam(id), 0, hidden))
            return false;
        // A hidden button is not listed, so its text is not worth two more round trips.
        if (hidden != 0)
            continue;

        std::string text;
        if (!ReadText(toolbar, buffer, id, text))
            return false;
        lines.push_back(std::to_string(id) + "=" + text);
    }
    return true;
}

bool TTrayIconList::ShowListed(Hwnd toolbar, std::int32_t id)
{
    TTrayIcon* listed = Find(toolbar, id);
    if (!listed || !listed->SettingsKey.empty())
        return false;
    listed->SetShown(true);
    return true;
}

bool TTrayIconList::ReadText(Hwnd toolbar, RemoteBuffer& buffer, std::int32_t id, std::string& text)
{
    std::intptr_t length = 0;
    if (!windows_.SendMessageA(toolbar, tb::GetButtonTextW, IdParam(id), 0, length))
        return false;
    // A button without text (-1 or 0), or one whose text would run past our buffer: no text.
    if (length <= 0 || static_cast<std::size_t>(length) >= kTextRoom)
        return true;
    std::intptr_t written = 0;
    if (!windows_.SendMessageA(toolbar, tb::GetButtonTextW, IdParam(id),
                               static_cast<std::intptr_t>(buffer.Address() + kTextOffset), written))
        return false;
    // Only what the toolbar says it wrote is text; the rest of the buffer holds whatever the
    // previous button (or the tail of a 64-bit record) left there.
    const std::size_t take = std::min({static_cast<std::size_t>(std::max<std::intptr_t>(written, 0)),
                                       static_cast<std::size_t>(length), kTextLength});
    char16_t units[kTextLength]{};
    if (take > 0 && buffer.Read(kTextOffset, units, take * sizeof(char16_t))) {
        std::u16string_view wide(units, take);
        text = Utf8FromUtf16(wide.substr(0, wide.find(u'\0')));
    }
    return true;
}

std::vector<TTrayIconList::ReadIcon> TTrayIconList::ReadIcons(std::vector<Hwnd>& silent, std::vector<Hwnd>& incomplete)
{
    std::vector<ReadIcon> read;
    for (Hwnd toolbar : FindToolbars()) {
        std::vector<std::string> lines;
        if (!ReadButtons(toolbar, lines, silent, true))
            incomplete.push_back(toolbar);
        for (const std::string& line : lines) {
            TrayLine split = SplitTrayLine(line);
            if (std::optional<std::int32_t> id = TrayLineId(split))
                read.push_back({toolbar, *id, std::move(split.value), {}});
        }
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
        if (icon.Hidden && icon.SettingsKey.empty() && !IsToolbar(windows_, icon.Toolbar))
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
    // Icons we hid would be skipped by the reading (it lists visible buttons only), and then
    // dropped as vanished although they are still there: the reading shows a listed icon it
    // finds hidden. Asked there, the toolbar answers once per button what asking every
    // listed icon beforehand would have cost again.
    std::vector<ReadIcon> read = ReadIcons(silent, incomplete);
    const bool toolbarFound = IsToolbar(windows_, Toolbar) || (Overflow && IsToolbar(windows_, Overflow));
    // From Windows 11 the shell keeps its icons elsewhere, and a toolbar it may still have
    // holds none of them.
    std::optional<std::vector<ReadIcon>> settings;
    if (read.empty() && incomplete.empty())
        settings = ReadSettings();
    if (settings)
        read = std::move(*settings);
    readable_ = toolbarFound || settings.has_value();
    DropVanished(read, incomplete);

    // The first line of an identifier wins; Find sees the icons added in this loop too.
    for (ReadIcon& r : read) {
        if (Find(r))
            continue;
        // As AddIcon, but a toolbar that stopped answering is not asked to show again a
        // button the reading has just seen visible.
        TTrayIcon& icon = Append(r.toolbar, r.id, std::move(r.name));
        icon.SettingsKey = std::move(r.key);
        if (!IsSilent(silent, icon.Toolbar) && !icon.SetShown(true))
            silent.push_back(icon.Toolbar);
        HideIfAwaited(icon);
    }

    // The ticks on the page come from Hidden; the taskbar must agree with them once the
    // reading no longer needs the buttons visible.
    for (auto& item : items_)
        if (item->Hidden && !IsSilent(silent, item->Toolbar) && !item->SetShown(false))
            silent.push_back(item->Toolbar);
}

bool TTrayIconList::LooksChanged()
{
    std::vector<std::intptr_t> counts;
    std::vector<Hwnd> silent;
    for (Hwnd toolbar : {Toolbar, Overflow}) {
        std::intptr_t count = -1;
        if (toolbar && !windows_.SendMessageA(toolbar, tb::ButtonCount, 0, 0, count)) {
            count = -1;
            silent.push_back(toolbar);
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
        std::intptr_t hidden = 0;
        if (!windows_.SendMessageA(item->Toolbar, tb::IsButtonHidden, IdParam(item->CommandId), 0, hidden))
            silent.push_back(item->Toolbar);
        else
            changed = hidden == 0;
    }
    return changed;
}

} // namespace tw

