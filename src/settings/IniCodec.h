// The text forms the settings file uses, as pure functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// An integer value: decimal with an optional sign, or hexadecimal after "0x"/"0X" or "$".
// Anything else (empty, trailing junk, out of range) gives `def`.
int ParseIniInteger(std::string_view text, int def);

// Bytes as hexadecimal, two upper-case digits per byte, high nibble first.
std::string EncodeHex(std::string_view bytes);
// Either case accepted. Never fails: decoding stops at the first pair that is not two hex
// digits (what came before is kept) and an odd final digit is ignored.
std::string DecodeHex(std::string_view hex);
// The same, telling in `whole` whether every digit was decoded.
std::string DecodeHex(std::string_view hex, bool& whole);

// Entries split at CR LF, a lone CR or a lone LF; a break at the very end makes no empty
// entry, an empty line between two breaks does.
std::vector<std::string> SplitLines(std::string_view text);
// Each entry followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

} // namespace tw
