// SPDX-License-Identifier: Apache-2.0
// A file opened for appending and nothing else: every piece goes to its end,
// straight to the system (no buffer in the program), so what was appended
// survives the program's crash. One implementation per operating system:
// append_handle_posix.cpp and append_handle_win32.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TAppendHandle {
public:
    // Opens the file (UTF-8 path), creating it when it is missing; an existing
    // file keeps what it holds. Throws EFileError (TFileStep::Create).
    explicit TAppendHandle(const std::string &pathUtf8);
    ~TAppendHandle();
    TAppendHandle(const TAppendHandle &) = delete;
    TAppendHandle &operator=(const TAppendHandle &) = delete;

    // Appends all bytes. Empty on success, else the system's words for why not.
    std::string Append(std::string_view bytes);

private:
    std::intptr_t FHandle;  // a descriptor or a HANDLE
};
