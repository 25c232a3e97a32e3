// SPDX-License-Identifier: Apache-2.0
#include "platform/files/file_names_posix.h"
#include "platform/files/temporary_name.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

std::string FolderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return "";
    return path.substr(0, slash + 1);
}

std::string TemporaryPathBeside(const std::string &target)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return folder + TemporaryFileName(target.size() - folder.size(), static_cast<std::uint64_t>(getpid()), counter++,
                                      static_cast<std::uint64_t>(ticks));
}

int RenameWithoutReplacing(const char *from, const char *to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot rename so: a second name fails just the same
    // on an existing target.
    if (link(from, to) != 0)
        return errno;
    unlink(from);
    return 0;
}

void SyncFolderOf(const std::string &path)
{
    const std::string folder = FolderOf(path);
    const int descriptor = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
}
