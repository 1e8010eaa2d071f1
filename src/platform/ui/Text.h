// The conversions between the program's UTF-16 texts and the byte strings the engines keep:
// ANSI for what other programs and the file system hand us through the ANSI calls, UTF-8 for
// the texts read with the wide calls (titles, tray tips). Both are widened only to be shown.
#pragma once

#include <string>
#include <string_view>

namespace tw::ui {

std::wstring FromAnsi(std::string_view ansi);
std::string ToAnsi(std::wstring_view wide);
// Other programs' wide texts, which the engines keep as UTF-8 (platform/WideText.h).
std::wstring FromUtf8(std::string_view utf8);
// What the user typed, kept as UTF-8 beside those texts.
std::string ToUtf8(std::wstring_view wide);

} // namespace tw::ui
