#include "settings/IniText.h"

namespace tw {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kBreak = "\r\n";

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Where the line that starts at `pos` ends, and where the next one starts.
void LineAt(std::string_view text, std::size_t pos, std::size_t& end, std::size_t& next)
{
    end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
        end = next = text.size();
        return;
    }
    next = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
}

// `text` with `lines` put in at `at`, after a line break if the text before has none, so
// that the new lines never run on from an unfinished last line.
std::string InsertLines(std::string_view text, std::size_t at, std::size_t start, const std::string& lines)
{
    std::string out(text.substr(0, at));
    if (at > start && out.back() != '\n' && out.back() != '\r')
        out += kBreak;
    out += lines;
    out += text.substr(at);
    return out;
}

} // namespace

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value)
{
    const std::string entry = std::string(key) + "=" + std::string(value);
    const std::size_t start = text.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() : 0;
    bool inSection = false;
    std::size_t sectionEnd = std::string_view::npos;   // after the section's last non-blank line
    for (std::size_t pos = start, end = 0, next = 0; pos < text.size(); pos = next) {
        LineAt(text, pos, end, next);
        std::string_view line = Trim(text.substr(pos, end - pos));
        if (!line.empty() && line.front() == '[') {
            if (sectionEnd != std::string_view::npos)
                break;   // past the first section of that name: the key is not in it
            std::size_t close = line.find(']');
            inSection = SameIgnoringAsciiCase(Trim(line.substr(1, close == std::string_view::npos ? close : close - 1)), section);
            if (inSection)
                sectionEnd = next;
            continue;
        }
        if (!inSection || line.empty())
            continue;
        std::size_t equals = line.find('=');
        if (line.front() != ';' && equals != std::string_view::npos && SameIgnoringAsciiCase(Trim(line.substr(0, equals)), key))
            return std::string(text.substr(0, pos)) + entry + std::string(text.substr(end));
        sectionEnd = next;
    }
    if (sectionEnd != std::string_view::npos)
        return InsertLines(text, sectionEnd, start, entry + std::string(kBreak));
    return InsertLines(text, text.size(), start, "[" + std::string(section) + "]" + std::string(kBreak) + entry +
                                                     std::string(kBreak));
}

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

std::string FoldAsciiCase(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = FoldAscii(c);
    return folded;
}

} // namespace tw
