#include "platform/files/file_facts.h"

#include "platform/text/wide_text_win32.h"

#include <windows.h>

TFileFacts FileFactsOf(const std::string &pathUtf8)
{
    const std::wstring path = WideFromUtf8(pathUtf8);
    if (path.empty())
        return {};
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {TFileKind::Folder, 0};
    // Device names ("NUL", "COM1") have attributes too; only the handle tells
    // a disk file from a device or a pipe. No access is asked: nothing is read.
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {TFileKind::Other, 0};
    TFileFacts facts{TFileKind::Other, 0};
    LARGE_INTEGER size{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size))
        facts = {TFileKind::Regular, static_cast<std::uint64_t>(size.QuadPart)};
    CloseHandle(file);
    return facts;
}
