// Editing the settings file's text as a whole, so that it can be written in one piece.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// `text` with `key` of `section` set to `value`, everything else (other sections, other
// keys, comments, line ends, a UTF-8 mark) kept byte for byte. Names match as the profile
// functions match them: blanks around them ignored, ASCII letters in either case, the
// first section and the first key of that name. A missing key is added after the
// section's last value line, a missing section at the end.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// Equal when the ASCII letters are folded and every other byte compared as it is: how the
// profile functions match names, and how the file list matches paths outside the program.
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);
// The form in which two texts equal by that rule are equal byte for byte: ASCII letters
// upper-cased, every other byte kept.
std::string FoldAsciiCase(std::string_view text);

} // namespace tw
