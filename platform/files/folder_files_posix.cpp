// SPDX-License-Identifier: Apache-2.0
#include "platform/files/folder_files.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::vector<std::string> FileNamesIn(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *listing = opendir(folder.c_str());
    if (listing == nullptr)
        return names;
    while (const dirent *entry = readdir(listing)) {
        const std::string name = entry->d_name;
        struct stat facts {};
        if (fstatat(dirfd(listing), name.c_str(), &facts, 0) == 0 && S_ISREG(facts.st_mode))
            names.push_back(name);
    }
    closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

bool RemoveFile(const std::string &pathUtf8)
{
    return unlink(pathUtf8.c_str()) == 0 || errno == ENOENT;
}

struct TFileHold::TState {
    int Descriptor = -1;
    ~TState()
    {
        if (Descriptor >= 0)
            close(Descriptor);  // closing the last descriptor of the open file lets go of the lock
    }
};

std::optional<TFileHold> TFileHold::TryTake(const std::string &pathUtf8)
{
    auto state = std::make_unique<TState>();
    // A descriptor of its own: flock belongs to the open file, so a second open
    // in this process contends like another process does.
    state->Descriptor = open(pathUtf8.c_str(), O_RDONLY | O_CLOEXEC);
    if (state->Descriptor < 0)
        return std::nullopt;
    if (flock(state->Descriptor, LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;
    return TFileHold(std::move(state));
}

TFileHold::TFileHold(std::unique_ptr<TState> state) : F(std::move(state)) {}
TFileHold::~TFileHold() = default;
TFileHold::TFileHold(TFileHold &&) noexcept = default;
TFileHold &TFileHold::operator=(TFileHold &&) noexcept = default;
