// SPDX-License-Identifier: Apache-2.0
// What a path names, asked before the file is opened: opening a pipe blocks
// and reading a device may never end.
#pragma once

#include <cstdint>
#include <string>

enum class TFileKind {
    Missing,  // nothing of that name (or it cannot be looked at)
    Regular,  // a file on a disk
    Folder,
    Other,    // a pipe, a device, a socket
};

struct TFileFacts {
    TFileKind Kind = TFileKind::Missing;
    std::uint64_t Size = 0;  // bytes, for a regular file
};

// Follows symbolic links. The path is UTF-8.
TFileFacts FileFactsOf(const std::string &pathUtf8);
