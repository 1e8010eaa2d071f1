// Other programs' wide texts (window titles, tray tips) are kept as UTF-8 in the engines'
// byte strings: nothing is lost, whatever the system's ANSI code page, and plain ASCII reads
// the same as before. These two turn them into and out of UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// A lone surrogate (a title cut in the middle of a pair, say) becomes U+FFFD.
inline std::string Utf8FromUtf16(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Only ever given what Utf8FromUtf16 made; a damaged sequence becomes U+FFFD all the same.
inline std::u16string Utf16FromUtf8(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
        unsigned char lead = byte(i);
        int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        char32_t c = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
        bool whole = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; whole && k <= extra; ++k) {
            whole = (byte(i + static_cast<std::size_t>(k)) & 0xC0) == 0x80;
            c = (c << 6) | (byte(i + static_cast<std::size_t>(k)) & 0x3F);
        }
        if (!whole || c > 0x10FFFF) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

} // namespace tw
