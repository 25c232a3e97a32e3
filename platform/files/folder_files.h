// SPDX-License-Identifier: Apache-2.0
// The files a folder holds, their removal, and a hold on a file that tells
// other runs of the program that it is in use. One implementation per
// operating system: folder_files_posix.cpp and folder_files_win32.cpp. Paths
// are UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The names of the files in the folder, sub-folders left out, sorted by their
// bytes; empty when the folder is missing or cannot be read.
std::vector<std::string> FileNamesIn(const std::string &folder);

// Deletes the file; true when it is gone, also when it was gone before.
bool RemoveFile(const std::string &pathUtf8);

// A hold on a file that only one holder at a time gets, in this process or
// another; released when the object goes, and by the system when the process
// ends, however it ends. It stops no one from reading or writing the file.
class TFileHold {
public:
    // The hold, or nothing when someone else has it or the file cannot be opened.
    static std::optional<TFileHold> TryTake(const std::string &pathUtf8);
    ~TFileHold();
    TFileHold(TFileHold &&) noexcept;
    TFileHold &operator=(TFileHold &&) noexcept;

private:
    struct TState;
    explicit TFileHold(std::unique_ptr<TState> state);
    std::unique_ptr<TState> F;
};
