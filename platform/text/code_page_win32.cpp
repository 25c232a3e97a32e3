// SPDX-License-Identifier: Apache-2.0
// The code page on Windows: the system's ANSI code page, through UTF-16.
#include "platform/text/code_page.h"

#include <string>
#include <windows.h>

namespace {

std::wstring ToWide(UINT codePage, std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

std::string FromWide(UINT codePage, const std::wstring &wide)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    // No flags and no default character: the code page's own best fit and
    // substitute, as the CSV file has always been written.
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

} // namespace

std::string AnsiToUtf8(std::string_view bytes)
{
    return FromWide(CP_UTF8, ToWide(GetACP(), bytes));
}

std::string Utf8ToAnsi(std::string_view text)
{
    return FromWide(GetACP(), ToWide(CP_UTF8, text));
}

std::string AnsiCodePageName()
{
    const UINT codePage = GetACP();
    return codePage == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(codePage);
}
