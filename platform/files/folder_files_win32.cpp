// SPDX-License-Identifier: Apache-2.0
#include "platform/files/folder_files.h"

#include "platform/files/long_path_win32.h"
#include "platform/text/wide_text_win32.h"

#include <algorithm>
#include <windows.h>

std::vector<std::string> FileNamesIn(const std::string &folder)
{
    std::vector<std::string> names;
    const std::wstring path = SystemPath(folder);
    if (path.empty())
        return names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(Utf8FromWide(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool RemoveFile(const std::string &pathUtf8)
{
    const std::wstring path = SystemPath(pathUtf8);
    if (path.empty())
        return false;
    if (DeleteFileW(path.c_str()))
        return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

namespace {

// The hold is a lock on one byte far beyond any end the file will reach: a
// locked range keeps others from reading and writing it, and nobody reads there.
constexpr DWORD kHeldByteHigh = 0x7FFFFFFF;

} // namespace

struct TFileHold::TState {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    ~TState()
    {
        if (Handle != INVALID_HANDLE_VALUE)
            CloseHandle(Handle);  // the system lets go of the lock with the handle
    }
};

std::optional<TFileHold> TFileHold::TryTake(const std::string &pathUtf8)
{
    const std::wstring path = SystemPath(pathUtf8);
    if (path.empty())
        return std::nullopt;
    auto state = std::make_unique<TState>();
    state->Handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (state->Handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    OVERLAPPED at{};
    at.OffsetHigh = kHeldByteHigh;
    if (!LockFileEx(state->Handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return std::nullopt;
    return TFileHold(std::move(state));
}

TFileHold::TFileHold(std::unique_ptr<TState> state) : F(std::move(state)) {}
TFileHold::~TFileHold() = default;
TFileHold::TFileHold(TFileHold &&) noexcept = default;
TFileHold &TFileHold::operator=(TFileHold &&) noexcept = default;
