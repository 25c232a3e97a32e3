// SPDX-License-Identifier: Apache-2.0
// UTF-8 and the UTF-16 of the Windows "W" calls.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

// Empty for an empty text or one that is not valid UTF-8.
inline std::wstring WideFromUtf8(const std::string &utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    return wide;
}

// A lone surrogate becomes U+FFFD.
inline std::string Utf8FromWide(std::wstring_view wide)
{
    if (wide.empty())
        return std::string();
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}
