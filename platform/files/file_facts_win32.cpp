// SPDX-License-Identifier: Apache-2.0
#include "platform/files/file_facts.h"

#include "platform/files/long_path_win32.h"

#include <windows.h>

TFileFacts FileFactsOf(const std::string &pathUtf8)
{
    const std::wstring path = SystemPath(pathUtf8);
    if (path.empty())
        return {};
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {TFileKind::Folder, 0};
    // Only the handle tells a disk file from a device or a pipe: a device's
    // name ("NUL", "COM1") may have attributes, and its "\\.\" form has none.
    // No access is asked: nothing is read.
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {attributes == INVALID_FILE_ATTRIBUTES ? TFileKind::Missing : TFileKind::Other, 0};
    TFileFacts facts{TFileKind::Other, 0};
    LARGE_INTEGER size{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size))
        facts = {TFileKind::Regular, static_cast<std::uint64_t>(size.QuadPart)};
    CloseHandle(file);
    return facts;
}
