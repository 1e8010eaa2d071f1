// The programs and tray icons the user asked us to remember from one run to the next, and
// how they are kept in the settings file.
//
// The lists live under keys of their own in "System.ini" ("Programs", "TrayIcons", "TitleRules"),
// hexadecimal like "File" but of UTF-8 text, so that a path or a tip in any language
// survives whatever the code page. A version that knows nothing of them leaves them alone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class TIniFileMgr;

// A program, known by the full path of its executable.
struct RememberedProgram {
    std::string path;             // UTF-8
    bool alwaysTick = false;      // its windows are ticked whenever they are listed
    bool muteWhenHidden = false;  // its sound goes while its windows are hidden
    // The boss key last set on one of its windows (ASCII text, e.g. "Alt + Q"); empty: none.
    std::string bossKeyText;
    std::uint16_t modifier = 0;   // virtual-key code of the modifier
    std::uint16_t key = 0;        // virtual-key code of the main key
};

// A tray icon, known by the executable of the program that owns it (empty when that could
// not be read) and its text.
struct RememberedIcon {
    std::string owner;            // UTF-8
    std::string text;             // UTF-8
};

// Equal as Windows compares file names: without regard to case.
bool SamePath(std::string_view a, std::string_view b);

// A title rule: every listed window whose title holds its text is ticked. Both UTF-8; the
// title as the user sees it, compared without regard to case in any script that has case.
bool TitleContains(std::string_view title, std::string_view rule);
// A rule must hold something besides blanks (of any script): a blank one would tick every
// window there is.
bool IsUsableTitleRule(std::string_view rule);

// Each list is one line per entry, fields apart by tabs, the last field free text; tabs,
// line breaks and backslashes inside a field are written "\t", "\n", "\r", "\\".
// Program line: flags (1 ticked, 2 muted; hex), modifier, key, boss-key text, path.
// Icon line: owner, text. Title rule line: the text.
//
// The decoders never fail, whatever the bytes, and take time linear in their number: a line
// they cannot read goes to `unread` exactly as it stood, so that it can be written back.
std::string EncodePrograms(const std::vector<RememberedProgram>& programs, const std::vector<std::string>& unread = {});
std::vector<RememberedProgram> DecodePrograms(std::string_view text, std::vector<std::string>& unread);
std::string EncodeIcons(const std::vector<RememberedIcon>& icons, const std::vector<std::string>& unread = {});
std::vector<RememberedIcon> DecodeIcons(std::string_view text, std::vector<std::string>& unread);
// A blank rule is a line that cannot be read.
std::string EncodeTitleRules(const std::vector<std::string>& rules, const std::vector<std::string>& unread = {});
std::vector<std::string> DecodeTitleRules(std::string_view text, std::vector<std::string>& unread);

class TRememberedStore {
public:
    // Without a settings file, the lists last for the run.
    explicit TRememberedStore(TIniFileMgr* ini) : ini_(ini) {}
    TRememberedStore(const TRememberedStore&) = delete;
    TRememberedStore& operator=(const TRememberedStore&) = delete;

    void Load();
    // Writes the lists this run changed in one replacement of the file. A value
    // that was not whole hexadecimal is left in the file as it is. Throws as
    // TIniFileMgr::WriteValues when the file cannot be written; the lists stay changed, so a
    // later save tries again. A change to a list whose value is left as it is cannot be
    // written at all: the other lists are saved, and then Save throws std::runtime_error all
    // the same, since the change lasts only for this run and the user must know.
    void Save();

    const std::vector<RememberedProgram>& Programs() const { return programs_; }
    const std::vector<RememberedIcon>& Icons() const { return icons_; }
    // Null when the program is not remembered.
    const RememberedProgram* FindProgram(std::string_view path) const;
    bool TicksAlways(std::string_view path) const;
    bool MutesWhenHidden(const std::string& exePathUtf8) const;
    // Whether any program's windows are ticked always: only then is the desktop walked
    // before a hide.
    bool AnyAlwaysTicked() const;
    // The question the muting asks, as a function it can hold.
    std::function<bool(const std::string&)> MutePredicate() const
    {
        return [this](const std::string& exe) { return MutesWhenHidden(exe); };
    }

    void SetAlwaysTick(const std::string& path, bool on);
    void SetMuteWhenHidden(const std::string& path, bool on);
    // Kept only for a program whose windows are ticked always; empty text clears it.
    void SetBossKey(const std::string& path, const std::string& text, std::uint16_t modifier, std::uint16_t key);

    // An icon matches by owner and text; one remembered without an owner, by text alone.
    bool IsIconRemembered(std::string_view owner, std::string_view text) const;
    void SetIconRemembered(const std::string& owner, const std::string& text, bool on);

    const std::vector<std::string>& TitleRules() const { return titleRules_; }
    bool AnyTitleRule() const { return !titleRules_.empty(); }
    bool MatchesTitleRule(std::string_view title) const;
    // The rules that `title` matches, at most `max` of them, in the order they were made.
    std::vector<std::string> TitleRulesIn(std::string_view title, std::size_t max) const;
    // False when the rule is blank, or one equal to it but for case is kept already.
    bool AddTitleRule(const std::string& rule);
    void ForgetTitleRule(const std::string& rule);

private:
    RememberedProgram& Program(const std::string& path);
    // Drops an entry that no longer asks anything of us.
    void Prune();

    TIniFileMgr* ini_;
    std::vector<RememberedProgram> programs_;
    std::vector<RememberedIcon> icons_;
    std::vector<std::string> unreadPrograms_;
    std::vector<std::string> unreadIcons_;
    std::vector<std::string> titleRules_;
    std::vector<std::string> unreadRules_;
    bool programsDamaged_ = false;   // not whole hexadecimal: never written over
    bool iconsDamaged_ = false;
    bool rulesDamaged_ = false;
    bool programsChanged_ = false;
    bool iconsChanged_ = false;
    bool rulesChanged_ = false;      // written on their own: a file without rules gets none
};

} // namespace tw
