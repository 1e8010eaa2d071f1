// The icons of the taskbar's notification area, and the one thing the program does to them:
// hide or show a single icon by hiding or showing its button on the shell's tray toolbar.
// Icons the shell keeps in its hidden-icons flyout sit on a toolbar of their own, listed
// after the taskbar's and treated alike.
//
// The toolbar lives in the shell's process, so its buttons are read through a scratch
// buffer reserved there (TrayToolbar.h); nothing is ever done to the program that owns an
// icon. An icon is known by its button's command identifier, which survives from one reading
// to the next; the program that owns it is read only when the user remembers icons by it.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class TTrayIconList;
class THiddenRecord;

// One "id=text" line of a reading, split at its first "=": the text may hold "=" itself.
struct TrayLine {
    std::string name;
    std::string value;
};
TrayLine SplitTrayLine(std::string_view line);
// The line's name as a command identifier; nothing when it is not a decimal 32-bit number.
std::optional<std::int32_t> TrayLineId(const TrayLine& line);

class TTrayIcon {
public:
    TTrayIcon(WindowApi& api, Hwnd toolbar, TTrayIconList* owner);
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // The toolbar this icon was read from; it is addressed there for its whole life, even
    // after the shell has made a new toolbar.
    const Hwnd Toolbar;
    TTrayIconList* const Owner;
    std::int32_t CommandId = 0;
    std::string Name;       // UTF-8, exactly as the shell gave it when the icon was first listed
    // The executable of the program whose window owns the icon (UTF-8); empty when it could
    // not be read. OwnerRead says whether it was asked for at all.
    std::string OwnerPath;
    bool OwnerRead = false;
    // On the Windows 11 shell an icon is a key of its notification-icon settings, not a
    // button: the key's name below the settings key; empty for a button.
    std::string SettingsKey;
    // The key's "IsPromoted" as it was before we moved the icon into the flyout (nullopt:
    // there was none), while PromotedSaved says we hold it.
    std::optional<std::uint32_t> Promoted;
    bool PromotedSaved = false;
    // The user's tick on the tray page, which is also this program's mark that it hid the
    // icon: only icons with it are shown again at the end.
    bool Hidden = false;

    // Hides or shows the icon's button and checks that the toolbar did it, asking at most a
    // few times. Never changes Hidden. False when the toolbar stopped answering (gone, hung
    // or too slow), so a caller can spare it the rest of its messages.
    bool SetShown(bool show);
    // What a tick (true) or its removal does: the icon is recorded before it is hidden,
    // shown, and marked; a shown icon leaves the record.
    void SetHidden(bool hidden);

private:
    WindowApi& api_;
};

class TTrayIconList {
public:
    // Locates the notification-area toolbars at once, as the first reading will.
    // `record`, when given, learns of every icon hidden and given back through the list.
    // `registry`, when given, serves the Windows 11 shell, whose notification area has no toolbar.
    // `identity`, when given, tells an icon's owner from its owning window's process.
    TTrayIconList(WindowApi& windows, ProcessApi& processes, THiddenRecord* record = nullptr,
                  RegistryApi* registry = nullptr, IdentityApi* identity = nullptr);
    TTrayIconList(const TTrayIconList&) = delete;
    TTrayIconList& operator=(const TTrayIconList&) = delete;

    Hwnd Toolbar = 0;   // 0 when the desktop has no tray
    Hwnd Overflow = 0;  // the hidden-icons flyout's toolbar; 0 when the shell has none
    // Whether refreshes read every icon's owner: a read of the shell's memory per icon, worth
    // it only while the user has icons remembered by their program.
    bool ReadOwners = false;

    Hwnd FindToolbar();
    Hwnd FindOverflowToolbar();
    int Count() const { return static_cast<int>(items_.size()); }
    TTrayIcon& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    // The first icon with that identifier, on whichever toolbar.
    TTrayIcon* FindById(std::int32_t id);
    // Identifiers are the toolbar's own: the flyout may use the same numbers.
    TTrayIcon* Find(Hwnd toolbar, std::int32_t id);
    // True while `icon` is one of ours: page rows hold raw pointers and check them here.
    bool Contains(const TTrayIcon* icon) const;
    TTrayIcon& AddIcon(std::int32_t id, std::string name, bool show);

    // Appends one "id=text" line per visible button of the toolbar, in button order, then
    // those of the flyout's toolbar.
    void ReadButtons(std::vector<std::string>& lines);
    // Reads the toolbars, drops icons whose identifier is gone, appends new ones unticked,
    // and brings the taskbar in line with the ticks: a ticked icon found showing is hidden
    // again, an unticked one found hidden is shown. A ticked icon found hidden is counted
    // from its button's record and never shown to be read. A reading that a hung shell cut
    // short drops nothing of that toolbar.
    // A ticked icon dropped because its toolbar is gone (the shell restarted) is hidden again
    // once an icon with the same text turns up on a new toolbar: its program adds it anew,
    // under a new identifier, when it hears that the taskbar was created.
    void RefreshIcons();
    // False when the last refresh found neither a toolbar nor the Windows 11 shell's
    // notification-icon settings: the system does not let us read its notification area.
    bool Readable() const { return readable_; }
    // The Windows 11 shell: the icon's "IsPromoted" is set to 0 to hide it (the value it had
    // is kept, and recorded, first) and put back to show it. False when it could not be.
    bool SetPromoted(TTrayIcon& icon, bool show);
    // The icon leaves the record, by its kind.
    void Forget(const TTrayIcon& icon);
    // Reads the owner of this one icon now, unless it was read before.
    void LearnOwner(TTrayIcon& icon);
    // Texts of ticked icons still waiting for their icon on a restarted shell.
    const std::vector<std::string>& AwaitedTexts() const { return awaited_; }
    void ShowAll();
    // Gives back every icon this program hid, and unmarks it. An icon whose toolbar does not
    // answer keeps its mark and its place in the record, to be given back later. Icons still
    // awaited on a restarted shell are no longer hidden when they turn up. Without
    // `waitForShell` (the session is ending) a toolbar that does not answer at once is skipped.
    void ShowHidden(bool waitForShell = true);
    // Lists the recorded icons a previous run hid and never gave back, while the same shell
    // process holds the same toolbar and the button is still there and hidden: marked, so
    // the close gives them back. The record forgets every other entry whose shell answered.
    void AdoptRecorded();
    THiddenRecord* Record() const { return record_; }
    // A light look, a few messages in all, at whether a refresh would find something new: a
    // toolbar's button count changed since the last look, or a button we hid shows again
    // (its program removed the icon and added it anew). A toolbar that does not answer at
    // once is not waited for, and says nothing of a change. On the Windows 11 shell: the
    // number of icon settings changed.
    bool LooksChanged();

private:
    struct ReadIcon {
        Hwnd toolbar;
        std::int32_t id;
        std::string name;
        std::string key;   // a setting's key; empty for a button
        std::string owner;
        bool ownerRead = false;
        bool hidden = false;   // a listed button, found hidden
    };
    TTrayIcon* Find(const ReadIcon& read);
    // The Windows 11 shell's icons, when the system is one and the settings key is there.
    std::optional<std::vector<ReadIcon>> ReadSettings();
    // The name a setting's icon is shown by.
    std::string SettingName(const std::string& key);
    // The executable a setting names, with its known folder resolved; empty when unreadable.
    std::string SettingOwner(const std::string& key);
    bool SettingsLookChanged();
    // Puts back a setting's icon about to leave the list. False when that failed while its
    // key is still there: the icon is still in the flyout because of us.
    bool GiveBackSetting(TTrayIcon& icon);
    // Lists the recorded settings a previous run changed and never put back, while their key
    // is still there; the record forgets the others.
    void AdoptRecordedSettings();

    // Finds the toolbars afresh; those that are toolbars indeed, the taskbar's first.
    std::vector<Hwnd> FindToolbars();
    // Every toolbar's icons; the toolbars whose reading was cut short go to `incomplete`.
    std::vector<ReadIcon> ReadIcons(std::vector<Hwnd>& silent, std::vector<Hwnd>& incomplete);
    TTrayIcon& Append(Hwnd toolbar, std::int32_t id, std::string name);
    // Drops the listed icons the reading no longer saw; ticked ones of a vanished toolbar
    // become awaited by their text, and ticked settings are put back first (one that cannot
    // be stays listed and ticked, to be put back later).
    void DropVanished(const std::vector<ReadIcon>& read, const std::vector<Hwnd>& incomplete);
    // A new icon that carries an awaited text is ticked and hidden.
    void HideIfAwaited(TTrayIcon& icon);
    // Hides again the ticked icons the reading found showing, and shows the unticked ones it
    // found hidden, so that the taskbar says what the page's ticks say.
    void FollowTicks(const std::vector<ReadIcon>& read, std::vector<Hwnd>& silent);

    WindowApi& windows_;
    ProcessApi& processes_;
    THiddenRecord* record_;
    RegistryApi* registry_;
    IdentityApi* identity_;
    bool readable_ = true;
    bool settingsShell_ = false;   // the last refresh listed the Windows 11 shell's settings
    std::vector<std::unique_ptr<TTrayIcon>> items_;
    std::vector<std::string> awaited_;
    std::vector<std::intptr_t> counts_;   // the button (or settings) counts at the last look
};

} // namespace tw
