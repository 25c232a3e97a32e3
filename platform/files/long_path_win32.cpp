// SPDX-License-Identifier: Apache-2.0
#include "platform/files/long_path_win32.h"

#include "platform/text/wide_text_win32.h"

#include <string_view>

#include <windows.h>

namespace {

const std::wstring_view Verbatim = L"\\\\?\\";
const std::wstring_view Device = L"\\\\.\\";

} // namespace

std::wstring SystemPath(const std::string &pathUtf8)
{
    const std::wstring path = WideFromUtf8(pathUtf8);
    if (path.empty() || path.starts_with(Verbatim) || path.starts_with(Device))
        return path;
    // "\\?\" turns off the system's own resolving of a path, so the path is
    // resolved first. A path the system cannot resolve goes as it is, for the
    // file call to fail on with the system's own words.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);  // the room it needs, with its terminating zero
    }
    if (full.starts_with(Device))
        return full;
    if (full.starts_with(L"\\\\"))
        return std::wstring(Verbatim) + L"UNC" + full.substr(1);
    return std::wstring(Verbatim) + full;
}
