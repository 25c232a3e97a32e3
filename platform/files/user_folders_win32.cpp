// SPDX-License-Identifier: Apache-2.0
#include "platform/files/user_folders.h"

#include "platform/files/atomic_file.h"
#include "platform/files/long_path_win32.h"
#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <cstdlib>
#include <string_view>

#include <windows.h>

namespace {

std::wstring Environment(const wchar_t *name)
{
    const wchar_t *value = _wgetenv(name);
    return value != nullptr ? std::wstring(value) : std::wstring();
}

bool IsFolder(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Where the folders of a SystemPath() start: past "\\?\" or "\\?\UNC\", which
// name no folder.
std::size_t FoldersStart(const std::wstring &path)
{
    for (const std::wstring_view prefix : {L"\\\\?\\UNC\\", L"\\\\?\\"})
        if (path.starts_with(prefix))
            return prefix.size();
    return 1;
}

} // namespace

std::string UserDataHome()
{
    std::wstring local = Environment(L"LOCALAPPDATA");
    if (local.empty()) {
        const std::wstring profile = Environment(L"USERPROFILE");
        if (profile.empty())
            throw EFileError("This user has no folder to keep data in (LOCALAPPDATA is not set)");
        local = profile + L"\\AppData\\Local";
    }
    return Utf8FromWide(local);
}

std::string PathInFolder(const std::string &folder, const std::string &name)
{
    if (folder.empty())
        return name;
    const char last = folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

void MakeFolders(const std::string &folder)
{
    const std::wstring path = SystemPath(folder);
    DWORD error = path.empty() ? ERROR_INVALID_NAME : ERROR_SUCCESS;
    // Each folder from the top down. A drive ("C:") or a server's share is no
    // folder to make; the failures on the way count only if the folder itself
    // is missing in the end.
    for (std::size_t end = FoldersStart(path); end <= path.size(); ++end) {
        if (end != path.size() && path[end] != L'\\')
            continue;
        const std::wstring part = path.substr(0, end);
        if (part.back() == L':' || part.back() == L'\\')
            continue;
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            error = GetLastError();
    }
    if (!IsFolder(path))
        throw EFileError(
            FileErrorText(TFileStep::Create, folder, SystemErrorText(error != ERROR_SUCCESS ? error : ERROR_DIRECTORY)));
}
