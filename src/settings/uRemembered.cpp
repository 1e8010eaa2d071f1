#include "settings/uRemembered.h"

#include "settings/IniCodec.h"
#include "settings/uIniFileMgr.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace tw {

namespace {

const char kProgramsKey[] = "Programs";
const char kIconsKey[] = "TrayIcons";
const char kTitleRulesKey[] = "TitleRules";

constexpr unsigned kFlagTick = 1;
constexpr unsigned kFlagMute = 2;

// The next code point of UTF-8 text; a byte that starts no valid sequence stands for itself,
// so that two texts of the same bytes always compare equal.
char32_t NextCodePoint(std::string_view s, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(s[i++]);
    int more = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (lead < 0x80 || more == 0 || i + static_cast<std::size_t>(more) > s.size())
        return lead;
    char32_t c = lead & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        const auto next = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((next & 0xC0) != 0x80)
            return lead;
        c = (c << 6) | (next & 0x3F);
    }
    i += static_cast<std::size_t>(more);
    return c;
}

// The file system's upper-case folding for the letters names and titles are written in:
// Latin (with Vietnamese and the full-width forms a Chinese input method types), Greek,
// Cyrillic, Armenian. The other scripts have no case.
char32_t Upper(char32_t c)
{
    if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    if (c >= 0x561 && c <= 0x586)
        return c - 0x30;
    if (((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF)) && (c & 1))
        return c - 1;
    // Latin Extended-A pairs each capital with the letter after it, but the pairs shift by
    // one between U+0139 and U+0148 and again from U+0179.
    if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && (c & 1))
        return c - 1;
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && !(c & 1))
        return c - 1;
    return c;
}

std::string Escape(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c; break;
        }
    }
    return out;
}

// Splits an encoded line into `count` fields, the last taking the rest of the line, and
// unescapes them. False when the line has fewer fields or an escape we do not know.
bool SplitFields(std::string_view line, std::size_t count, std::vector<std::string>& fields)
{
    fields.assign(1, std::string());
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t' && fields.size() < count) {
            fields.emplace_back();
            continue;
        }
        if (c == '\t')
            return false;
        if (c == '\\') {
            if (++i == line.size())
                return false;
            switch (line[i]) {
            case '\\': c = '\\'; break;
            case 't': c = '\t'; break;
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            default: return false;
            }
        }
        fields.back() += c;
    }
    return fields.size() == count;
}

template <class T>
bool ParseNumber(const std::string& text, T& value, int base)
{
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, ec] = std::from_chars(first, last, value, base);
    return ec == std::errc() && end == last && first != last;
}

std::string JoinWithUnread(std::vector<std::string> lines, const std::vector<std::string>& unread)
{
    lines.insert(lines.end(), unread.begin(), unread.end());
    return JoinLines(lines);
}

// Whether `text` from byte `at` on begins with `prefix`, letter by letter without case.
bool StartsWithFolded(std::string_view text, std::size_t at, std::string_view prefix)
{
    std::size_t j = 0;
    while (at < text.size() && j < prefix.size())
        if (Upper(NextCodePoint(text, at)) != Upper(NextCodePoint(prefix, j)))
            return false;
    return j == prefix.size();
}

// Unicode's white space: what a rule of nothing else would hold (the full-width blank of a
// Chinese input method among them).
bool IsBlank(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// A program remembered without a boss key.
RememberedProgram Bare(std::string path, bool alwaysTick, bool muteWhenHidden)
{
    RememberedProgram p;
    p.path = std::move(path);
    p.alwaysTick = alwaysTick;
    p.muteWhenHidden = muteWhenHidden;
    return p;
}

} // namespace

bool SamePath(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size())
        if (Upper(NextCodePoint(a, i)) != Upper(NextCodePoint(b, j)))
            return false;
    return i == a.size() && j == b.size();
}

bool IsUsableTitleRule(std::string_view rule)
{
    for (std::size_t i = 0; i < rule.size();)
        if (!IsBlank(NextCodePoint(rule, i)))
            return true;
    return false;
}

bool TitleContains(std::string_view title, std::string_view rule)
{
    if (!IsUsableTitleRule(rule))
        return false;
    // Titles are short (254 characters at most): a plain scan is quick enough.
    for (std::size_t at = 0; at < title.size(); NextCodePoint(title, at))
        if (StartsWithFolded(title, at, rule))
            return true;
    return false;
}

std::string EncodePrograms(const std::vector<RememberedProgram>& programs, const std::vector<std::string>& unread)
{
    std::vector<std::string> lines;
    for (const RememberedProgram& p : programs) {
        const unsigned flags = (p.alwaysTick ? kFlagTick : 0) | (p.muteWhenHidden ? kFlagMute : 0);
        const char digits[] = "0123456789ABCDEF";
        lines.push_back(std::string(1, digits[flags]) + '\t' + std::to_string(p.modifier) + '\t' +
                        std::to_string(p.key) + '\t' + Escape(p.bossKeyText) + '\t' + Escape(p.path));
    }
    return JoinWithUnread(std::move(lines), unread);
}

std::vector<RememberedProgram> DecodePrograms(std::string_view text, std::vector<std::string>& unread)
{
    std::vector<RememberedProgram> out;
    std::vector<std::string> fields;
    for (std::string& line : SplitLines(text)) {
        RememberedProgram p;
        unsigned flags = 0;
        // Flags we do not know are a newer version's: its line is kept, not half-read.
        const bool read = SplitFields(line, 5, fields) && ParseNumber(fields[0], flags, 16) &&
                          flags <= (kFlagTick | kFlagMute) && fields[0].size() == 1 &&
                          ParseNumber(fields[1], p.modifier, 10) && ParseNumber(fields[2], p.key, 10) &&
                          !fields[4].empty();
        if (!read) {
            if (!line.empty())
                unread.push_back(std::move(line));
            continue;
        }
        p.alwaysTick = flags & kFlagTick;
        p.muteWhenHidden = flags & kFlagMute;
        p.bossKeyText = std::move(fields[3]);
        p.path = std::move(fields[4]);
        if (p.bossKeyText.empty() || p.key == 0)
            p = Bare(std::move(p.path), p.alwaysTick, p.muteWhenHidden);
        out.push_back(std::move(p));
    }
    return out;
}

std::string EncodeIcons(const std::vector<RememberedIcon>& icons, const std::vector<std::string>& unread)
{
    std::vector<std::string> lines;
    for (const RememberedIcon& icon : icons)
        lines.push_back(Escape(icon.owner) + '\t' + Escape(icon.text));
    return JoinWithUnread(std::move(lines), unread);
}

std::vector<RememberedIcon> DecodeIcons(std::string_view text, std::vector<std::string>& unread)
{
    std::vector<RememberedIcon> out;
    std::vector<std::string> fields;
    for (std::string& line : SplitLines(text)) {
        if (!SplitFields(line, 2, fields)) {
            if (!line.empty())
                unread.push_back(std::move(line));
            continue;
        }
        out.push_back({std::move(fields[0]), std::move(fields[1])});
    }
    return out;
}

std::string EncodeTitleRules(const std::vector<std::string>& rules, const std::vector<std::string>& unread)
{
    std::vector<std::string> lines;
    for (const std::string& rule : rules)
        lines.push_back(Escape(rule));
    return JoinWithUnread(std::move(lines), unread);
}

std::vector<std::string> DecodeTitleRules(std::string_view text, std::vector<std::string>& unread)
{
    std::vector<std::string> out;
    std::vector<std::string> fields;
    for (std::string& line : SplitLines(text)) {
        if (!SplitFields(line, 1, fields) || !IsUsableTitleRule(fields[0])) {
            if (!line.empty())
                unread.push_back(std::move(line));
            continue;
        }
        out.push_back(std::move(fields[0]));
    }
    return out;
}

// ---------------------------------------------------------------------------------------

void TRememberedStore::Load()
{
    programs_.clear();
    icons_.clear();
    unreadPrograms_.clear();
    unreadIcons_.clear();
    titleRules_.clear();
    unreadRules_.clear();
    programsChanged_ = false;
    iconsChanged_ = false;
    rulesChanged_ = false;
    if (!ini_)
        return;
    std::string text;
    programsDamaged_ = !ini_->ReadBinaryStream(kSettingsSection, kProgramsKey, text);
    programs_ = DecodePrograms(text, unreadPrograms_);
    text.clear();
    iconsDamaged_ = !ini_->ReadBinaryStream(kSettingsSection, kIconsKey, text);
    icons_ = DecodeIcons(text, unreadIcons_);
    text.clear();
    rulesDamaged_ = !ini_->ReadBinaryStream(kSettingsSection, kTitleRulesKey, text);
    titleRules_ = DecodeTitleRules(text, unreadRules_);
}

void TRememberedStore::Save()
{
    if ((!programsChanged_ && !iconsChanged_ && !rulesChanged_) || !ini_)
        return;
    std::vector<std::pair<std::string, std::string>> values;
    const bool listsChanged = programsChanged_ || iconsChanged_;
    if (listsChanged && !programsDamaged_)
        values.emplace_back(kProgramsKey, EncodeHex(EncodePrograms(programs_, unreadPrograms_)));
    if (listsChanged && !iconsDamaged_)
        values.emplace_back(kIconsKey, EncodeHex(EncodeIcons(icons_, unreadIcons_)));
    if (rulesChanged_ && !rulesDamaged_)
        values.emplace_back(kTitleRulesKey, EncodeHex(EncodeTitleRules(titleRules_, unreadRules_)));
    if (!values.empty())
        ini_->WriteValues(kSettingsSection, values);
    // Told once per change: a later change to another list saves without a word.
    const bool dropped = (programsChanged_ && programsDamaged_) || (iconsChanged_ && iconsDamaged_) ||
                         (rulesChanged_ && rulesDamaged_);
    programsChanged_ = false;
    iconsChanged_ = false;
    rulesChanged_ = false;
    if (dropped)
        throw std::runtime_error("a damaged value of the settings file was left as it is");
}

const RememberedProgram* TRememberedStore::FindProgram(std::string_view path) const
{
    if (path.empty())
        return nullptr;
    auto it = std::find_if(programs_.begin(), programs_.end(),
                           [path](const RememberedProgram& p) { return SamePath(p.path, path); });
    return it == programs_.end() ? nullptr : &*it;
}

bool TRememberedStore::TicksAlways(std::string_view path) const
{
    const RememberedProgram* p = FindProgram(path);
    return p && p->alwaysTick;
}

bool TRememberedStore::MutesWhenHidden(const std::string& exePathUtf8) const
{
    const RememberedProgram* p = FindProgram(exePathUtf8);
    return p && p->muteWhenHidden;
}

bool TRememberedStore::AnyAlwaysTicked() const
{
    return std::any_of(programs_.begin(), programs_.end(), [](const RememberedProgram& p) { return p.alwaysTick; });
}

RememberedProgram& TRememberedStore::Program(const std::string& path)
{
    if (const RememberedProgram* found = FindProgram(path))
        return const_cast<RememberedProgram&>(*found);
    programs_.push_back(Bare(path, false, false));
    return programs_.back();
}

void TRememberedStore::Prune()
{
    programs_.erase(std::remove_if(programs_.begin(), programs_.end(),
                                   [](const RememberedProgram& p) { return !p.alwaysTick && !p.muteWhenHidden; }),
                    programs_.end());
}

void TRememberedStore::SetAlwaysTick(const std::string& path, bool on)
{
    if (path.empty() || TicksAlways(path) == on)
        return;
    RememberedProgram& p = Program(path);
    p.alwaysTick = on;
    // The boss key belongs to the window again once the program is forgotten.
    if (!on)
        p = Bare(std::move(p.path), false, p.muteWhenHidden);
    Prune();
    programsChanged_ = true;
}

void TRememberedStore::SetMuteWhenHidden(const std::string& path, bool on)
{
    if (path.empty() || MutesWhenHidden(path) == on)
        return;
    Program(path).muteWhenHidden = on;
    Prune();
    programsChanged_ = true;
}

void TRememberedStore::SetBossKey(const std::string& path, const std::string& text, std::uint16_t modifier,
                                  std::uint16_t key)
{
    const RememberedProgram* found = FindProgram(path);
    if (!found || !found->alwaysTick)
        return;
    auto& p = const_cast<RememberedProgram&>(*found);
    const bool clear = text.empty() || key == 0;
    const std::string newText = clear ? std::string() : text;
    const std::uint16_t newModifier = clear ? 0 : modifier;
    const std::uint16_t newKey = clear ? 0 : key;
    if (p.bossKeyText == newText && p.modifier == newModifier && p.key == newKey)
        return;
    p.bossKeyText = newText;
    p.modifier = newModifier;
    p.key = newKey;
    programsChanged_ = true;
}

bool TRememberedStore::IsIconRemembered(std::string_view owner, std::string_view text) const
{
    return std::any_of(icons_.begin(), icons_.end(), [&](const RememberedIcon& icon) {
        return icon.text == text && (icon.owner.empty() || SamePath(icon.owner, owner));
    });
}

void TRememberedStore::SetIconRemembered(const std::string& owner, const std::string& text, bool on)
{
    const auto before = icons_.size();
    if (on) {
        if (!IsIconRemembered(owner, text))
            icons_.push_back({owner, text});
    } else {
        // Forgetting an icon forgets every entry that would still hide it.
        icons_.erase(std::remove_if(icons_.begin(), icons_.end(),
                                    [&](const RememberedIcon& icon) {
                                        return icon.text == text && (icon.owner.empty() || SamePath(icon.owner, owner));
                                    }),
                     icons_.end());
    }
    iconsChanged_ = iconsChanged_ || icons_.size() != before;
}

bool TRememberedStore::MatchesTitleRule(std::string_view title) const
{
    return std::any_of(titleRules_.begin(), titleRules_.end(),
                       [title](const std::string& rule) { return TitleContains(title, rule); });
}

std::vector<std::string> TRememberedStore::TitleRulesIn(std::string_view title, std::size_t max) const
{
    std::vector<std::string> out;
    for (const std::string& rule : titleRules_)
        if (out.size() < max && TitleContains(title, rule))
            out.push_back(rule);
    return out;
}

bool TRememberedStore::AddTitleRule(const std::string& rule)
{
    if (!IsUsableTitleRule(rule))
        return false;
    if (std::any_of(titleRules_.begin(), titleRules_.end(),
                    [&rule](const std::string& kept) { return SamePath(kept, rule); }))
        return false;
    titleRules_.push_back(rule);
    rulesChanged_ = true;
    return true;
}

void TRememberedStore::ForgetTitleRule(const std::string& rule)
{
    // Never kept twice (AddTitleRule): the first is the one.
    const auto it = std::find(titleRules_.begin(), titleRules_.end(), rule);
    if (it == titleRules_.end())
        return;
    titleRules_.erase(it);
    rulesChanged_ = true;
}

} // namespace tw
