#include "settings/IniCodec.h"

#include "platform/WideText.h"

#include <climits>
#include <cstdint>

namespace tw {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Digits in `base` up to the end of `digits`, into `out`; false on an empty run, a stray
// character or a value beyond `limit`. Accumulated in 64 bits and checked at every step,
// so no amount of digits can overflow.
bool ParseDigits(std::string_view digits, int base, std::uint64_t limit, std::uint64_t& out)
{
    if (digits.empty())
        return false;
    std::uint64_t value = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0 || d >= base)
            return false;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        if (value > limit)
            return false;
    }
    out = value;
    return true;
}

// Whether the bytes read back from UTF-16 as they are: a damaged sequence would name
// another path than the one stored.
bool IsUtf8(std::string_view bytes) { return Utf8FromUtf16(Utf16FromUtf8(bytes)) == bytes; }

} // namespace

int ParseIniInteger(std::string_view text, int def)
{
    constexpr auto kMax = static_cast<std::uint64_t>(INT_MAX);
    std::uint64_t value = 0;

    if (!text.empty() && text.front() == '$')
        return ParseDigits(text.substr(1), 16, kMax, value) ? static_cast<int>(value) : def;
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseDigits(text.substr(2), 16, kMax, value) ? static_cast<int>(value) : def;

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // INT_MIN has no positive counterpart in an int, so the negative side may go one further.
    if (!ParseDigits(text, 10, negative ? kMax + 1 : kMax, value))
        return def;
    if (negative)
        return static_cast<int>(-static_cast<std::int64_t>(value));
    return static_cast<int>(value);
}

std::string EncodeHex(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 0x0F]);
    }
    return hex;
}

std::string DecodeHex(std::string_view hex, bool& whole)
{
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    std::size_t i = 0;
    for (; i + 1 < hex.size(); i += 2) {
        int high = HexDigit(hex[i]);
        int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            break;
        bytes.push_back(static_cast<char>((high << 4) | low));
    }
    whole = i == hex.size();
    return bytes;
}

std::string DecodeHex(std::string_view hex)
{
    bool whole = false;
    return DecodeHex(hex, whole);
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        // CR LF is one break; a lone CR or a lone LF is one break each.
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::size_t length = 0;
    for (const auto& line : lines)
        length += line.size() + 2;
    std::string text;
    text.reserve(length);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string EncodeKeptAttributes(const std::vector<KeptAttributes>& entries)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::vector<std::string> lines;
    lines.reserve(entries.size());
    for (const KeptAttributes& entry : entries)
        lines.push_back(kDigits[(entry.bits & 0x6) | (entry.utf8 ? 0x8 : 0)] + entry.path);
    return EncodeHex(JoinLines(lines));
}

std::vector<KeptAttributes> DecodeKeptAttributes(std::string_view value, bool& whole)
{
    std::string text = DecodeHex(value, whole);
    if (!whole) {
        // A line cut short by the damage may name another path than the one it was for.
        std::size_t lastBreak = text.find_last_of("\r\n");
        text.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
    }
    std::vector<KeptAttributes> entries;
    for (const std::string& line : SplitLines(text)) {
        int bits = line.empty() ? -1 : HexDigit(line[0]);
        // Only the two attributes a hide gives; a NUL could never be part of a path.
        if (bits < 0 || (bits & ~0xE) || line.size() < 2 || line.find('\0') != std::string::npos ||
            ((bits & 0x8) && !IsUtf8(line))) {
            whole = false;
            continue;
        }
        entries.push_back({line.substr(1), static_cast<std::uint32_t>(bits & 0x6), (bits & 0x8) != 0});
    }
    return entries;
}

std::vector<std::string> Utf8PathLines(std::string_view bytes, bool whole)
{
    std::size_t lastBreak = bytes.find_last_of("\r\n");
    std::string_view text = whole ? bytes : bytes.substr(0, lastBreak == std::string_view::npos ? 0 : lastBreak + 1);
    std::vector<std::string> paths;
    for (std::string& line : SplitLines(text))
        if (!line.empty() && line.find('\0') == std::string::npos && IsUtf8(line))
            paths.push_back(std::move(line));
    return paths;
}

} // namespace tw
