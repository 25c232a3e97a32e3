// SPDX-License-Identifier: Apache-2.0
#include "platform/files/whole_file.h"

#include "platform/files/long_path_win32.h"

#include <windows.h>

std::optional<std::string> ReadWholeFile(const std::string &pathUtf8)
{
    const std::wstring path = SystemPath(pathUtf8);
    const HANDLE file = path.empty() ? INVALID_HANDLE_VALUE
                                     : CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<std::string> bytes(std::in_place);
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr))
            bytes.reset();
        if (!bytes || count == 0)
            break;
        bytes->append(buffer, count);
    }
    CloseHandle(file);
    return bytes;
}
