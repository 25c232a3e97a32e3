// SPDX-License-Identifier: Apache-2.0
#include "platform/files/file_names_win32.h"
#include "platform/files/temporary_name.h"

#include <atomic>

namespace {
std::atomic<unsigned long long> flushes{0};
} // namespace

std::wstring FolderOf(const std::wstring &path)
{
    const auto separator = path.find_last_of(L"\\/:");
    if (separator == std::wstring::npos)
        return std::wstring();
    return path.substr(0, separator + 1);
}

std::wstring PathBeside(const std::wstring &target, std::size_t nameLength)
{
    static std::atomic<unsigned> counter{0};
    const std::string name = TemporaryFileName(nameLength, GetCurrentProcessId(), counter++, GetTickCount64());
    return FolderOf(target) + std::wstring(name.begin(), name.end());
}

std::size_t NameLength(const std::wstring &path)
{
    return path.size() - FolderOf(path).size();
}

BOOL FlushToDisk(HANDLE file)
{
    const BOOL flushed = FlushFileBuffers(file);
    if (flushed)
        ++flushes;
    return flushed;
}

unsigned long long FlushesToDisk()
{
    return flushes.load();
}
