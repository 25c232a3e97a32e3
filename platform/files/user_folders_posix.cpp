// SPDX-License-Identifier: Apache-2.0
#include "platform/files/user_folders.h"

#include "platform/files/atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

bool IsFolder(const std::string &path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string HomeFolder()
{
    const char *home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    // A service started without HOME still has one in the password database.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && *found->pw_dir != '\0')
        return found->pw_dir;
    throw EFileError("This user has no home folder to keep data in (HOME is not set)");
}

} // namespace

std::string UserDataHome()
{
    // The XDG rule: a relative XDG_DATA_HOME is invalid and is ignored.
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return data;
    return HomeFolder() + "/.local/share";
}

std::string PathInFolder(const std::string &folder, const std::string &name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

void MakeFolders(const std::string &folder)
{
    int error = 0;
    for (std::size_t end = 1; end <= folder.size(); ++end) {
        if (end != folder.size() && folder[end] != '/')
            continue;
        const std::string part = folder.substr(0, end);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            error = errno;
    }
    if (!IsFolder(folder))
        throw EFileError(FileErrorText(TFileStep::Create, folder,
                                       std::generic_category().message(error != 0 ? error : ENOTDIR)));
}
