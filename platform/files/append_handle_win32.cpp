// SPDX-License-Identifier: Apache-2.0
#include "platform/files/append_handle.h"

#include "platform/files/atomic_file.h"  // EFileError, FileErrorText
#include "platform/files/long_path_win32.h"
#include "platform/text/system_error_text_win32.h"

#include <windows.h>

namespace {

HANDLE AsHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

TAppendHandle::TAppendHandle(const std::string &pathUtf8) : FHandle(0)
{
    const std::wstring path = SystemPath(pathUtf8);
    // Appending access only: each write goes to the end of the file, also when
    // another program appends too. Others may read it (a text editor while the
    // program runs) and write it.
    const HANDLE file = path.empty() ? INVALID_HANDLE_VALUE
                                     : CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = path.empty() ? ERROR_INVALID_NAME : GetLastError();
        throw EFileError(FileErrorText(TFileStep::Create, pathUtf8, SystemErrorText(error)));
    }
    FHandle = reinterpret_cast<std::intptr_t>(file);
}

TAppendHandle::~TAppendHandle()
{
    CloseHandle(AsHandle(FHandle));
}

std::string TAppendHandle::Append(std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(AsHandle(FHandle), bytes.data(), chunk, &written, nullptr))
            return SystemErrorText(GetLastError());
        if (written == 0)
            return SystemErrorText(ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
    }
    return {};
}
