// SPDX-License-Identifier: Apache-2.0
#include "platform/files/file_facts.h"

#include <sys/stat.h>

TFileFacts FileFactsOf(const std::string &pathUtf8)
{
    struct stat info {};
    if (stat(pathUtf8.c_str(), &info) != 0)
        return {};
    if (S_ISREG(info.st_mode))
        return {TFileKind::Regular, static_cast<std::uint64_t>(info.st_size)};
    if (S_ISDIR(info.st_mode))
        return {TFileKind::Folder, 0};
    return {TFileKind::Other, 0};
}
