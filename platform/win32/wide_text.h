// UTF-8 and the UTF-16 of the Windows "W" calls.
#pragma once

#include <string>

#include <windows.h>

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
