// SPDX-License-Identifier: Apache-2.0
// The two UTF-8 steps the program needs: one code point appended, one read.
#pragma once

#include <string>
#include <string_view>

inline void AppendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The first character of a UTF-8 text as a code point; `fallback` for an empty
// or cut-off text.
inline char32_t FirstCodePoint(std::string_view text, char32_t fallback)
{
    if (text.empty())
        return fallback;
    const auto lead = static_cast<unsigned char>(text[0]);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (static_cast<int>(text.size()) < length)
        return fallback;
    char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int i = 1; i < length; ++i)
        code = (code << 6) | (static_cast<unsigned char>(text[static_cast<std::size_t>(i)]) & 0x3F);
    return code;
}
