// The one pair of conversions between the program's UTF-16 texts and the ANSI byte strings
// that other programs and the file system hand us. Data stays ANSI everywhere it is kept;
// it is widened only to be shown.
#pragma once

#include <string>
#include <string_view>

namespace tw::ui {

std::wstring FromAnsi(std::string_view ansi);
std::string ToAnsi(std::wstring_view wide);

} // namespace tw::ui
