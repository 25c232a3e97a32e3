// SPDX-License-Identifier: Apache-2.0
// A file read whole, for the small files the program takes in (the simulated
// meter's messages). One implementation per operating system:
// whole_file_posix.cpp and whole_file_win32.cpp.
#pragma once

#include <optional>
#include <string>

// All bytes of the file (UTF-8 path); nothing when it cannot be opened or
// read. Ask FileFactsOf() first: a pipe or a device may never end.
std::optional<std::string> ReadWholeFile(const std::string &pathUtf8);
