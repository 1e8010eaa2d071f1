// The "Programs", "TrayIcons" and "TitleRules" values (after their hexadecimal is decoded) as a damaged or
// hand-edited settings file may hold them: decoding never fails, every line is either read or
// kept as it stood, and what is written back decodes to the same entries and the same kept
// lines, again and again.
#include "settings/uRemembered.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool operator==(const tw::RememberedProgram& a, const tw::RememberedProgram& b)
{
    return a.path == b.path && a.alwaysTick == b.alwaysTick && a.muteWhenHidden == b.muteWhenHidden &&
           a.bossKeyText == b.bossKeyText && a.modifier == b.modifier && a.key == b.key;
}

bool operator==(const tw::RememberedIcon& a, const tw::RememberedIcon& b)
{
    return a.owner == b.owner && a.text == b.text;
}

template <class T>
bool Same(const std::vector<T>& a, const std::vector<T>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i]))
            return false;
    return true;
}

// Decode, encode, decode: the second reading equals the first, and so does its encoding.
template <class Encode, class Decode>
void RoundTrip(std::string_view text, Encode encode, Decode decode)
{
    std::vector<std::string> unread;
    const auto first = decode(text, unread);
    const std::string written = encode(first, unread);
    std::vector<std::string> unreadAgain;
    const auto again = decode(written, unreadAgain);
    Check(Same(again, first));
    Check(unreadAgain == unread);
    Check(encode(again, unreadAgain) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RoundTrip(text, &tw::EncodePrograms, &tw::DecodePrograms);
    RoundTrip(text, &tw::EncodeIcons, &tw::DecodeIcons);
    RoundTrip(text, &tw::EncodeTitleRules, &tw::DecodeTitleRules);
    // Nothing blank is ever read as a rule: it would tick every window.
    std::vector<std::string> unread;
    for (const std::string& rule : tw::DecodeTitleRules(text, unread))
        Check(tw::IsUsableTitleRule(rule) && tw::TitleContains(rule, rule));
    return 0;
}
