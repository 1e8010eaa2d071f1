// The "File" value as a hand-edited or damaged settings file may hold it: decoding never
// fails, keeps exactly the bytes before the first bad pair, and what the program writes
// itself comes back as the same list.
#include "settings/IniCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view value(reinterpret_cast<const char*>(data), size);

    // Decoding: as many bytes as there are whole good pairs before the first bad one, and
    // they encode back to those pairs (upper-cased).
    std::string bytes = tw::DecodeHex(value);
    std::size_t good = 0;
    while (good + 1 < value.size() && IsHex(value[good]) && IsHex(value[good + 1]))
        good += 2;
    Check(bytes.size() == good / 2);
    std::string again = tw::EncodeHex(bytes);
    for (std::size_t i = 0; i < again.size(); ++i)
        Check(again[i] == static_cast<char>(std::toupper(static_cast<unsigned char>(value[i]))));

    // Splitting whatever was decoded never fails, and joining the entries gives a text that
    // splits into the same entries (the breaks are normalised to CR LF).
    auto lines = tw::SplitLines(bytes);
    Check(tw::SplitLines(tw::JoinLines(lines)) == lines);

    // The paths kept as UTF-8: whatever the bytes, only non-empty lines without a NUL, and
    // they read back as themselves once written.
    auto paths = tw::Utf8PathLines(bytes, value.size() % 2 == 0);
    for (const std::string& path : paths)
        Check(!path.empty() && path.find('\0') == std::string::npos);
    Check(tw::Utf8PathLines(tw::JoinLines(paths), true) == paths);

    // The raw input taken as a list's text: what the program writes comes back whole.
    auto entries = tw::SplitLines(value);
    Check(tw::SplitLines(tw::DecodeHex(tw::EncodeHex(tw::JoinLines(entries)))) == entries);
    return 0;
}
