// Integer values as a hand-edited settings file may hold them, checked against the standard
// library's own reading of the accepted forms: decimal with an optional sign, or
// hexadecimal after "0x", "0X" or "$"; anything else, or out of range, gives the default.
#include "settings/IniCodec.h"

#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

// The digits alone, in `base`, all of them consumed, within int.
std::optional<int> Digits(std::string_view digits, int base, bool negative)
{
    if (digits.empty() || digits.front() == '-' || digits.front() == '+')
        return std::nullopt;
    long long value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> Reference(std::string_view text)
{
    if (!text.empty() && text.front() == '$')
        return Digits(text.substr(1), 16, false);
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return Digits(text.substr(2), 16, false);
    bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    return Digits(text, 10, negative);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // Two different defaults tell "read a value" from "gave the default".
    int a = tw::ParseIniInteger(text, 18);
    int b = tw::ParseIniInteger(text, -7);
    std::optional<int> expected = Reference(text);
    if (expected) {
        if (a != *expected || b != *expected)
            std::abort();
    } else if (a != 18 || b != -7) {
        std::abort();
    }
    return 0;
}
