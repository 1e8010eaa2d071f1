// The text forms the settings file uses, as pure functions.
#pragma once

#include <cstdint>
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

// What a path of the hidden-file list looked like before the program hid it: the hidden
// (0x2) and system (0x4) bits it already had, so that a restore takes away only the rest.
struct KeptAttributes {
    std::string path;
    std::uint32_t bits = 0;
    bool utf8 = false;   // `path` is UTF-8, for a path the ANSI code page cannot hold
};

// The "FileAttributes" value: as "File", hexadecimal of CR LF ended lines; each line is one
// hexadecimal digit, the bits, followed by the path ("6C:\ProgramData"). A UTF-8 path has
// 8 added to its digit, which the versions before them skip as a line they cannot read.
std::string EncodeKeptAttributes(const std::vector<KeptAttributes>& entries);
// Never fails, whatever the bytes, in time linear in their number: the lines before the
// first pair that is not hexadecimal are read, and a line that is not such a digit followed
// by a path is skipped. `whole` tells whether nothing was left out.
std::vector<KeptAttributes> DecodeKeptAttributes(std::string_view value, bool& whole);

// The lines of the key that lists the paths the ANSI code page cannot hold, from its decoded
// bytes (UTF-8, CR LF ended). `whole` false (the value was damaged) drops the line cut
// short; a line that is not UTF-8 or holds a NUL is no path and is dropped too.
std::vector<std::string> Utf8PathLines(std::string_view bytes, bool whole);

} // namespace tw
