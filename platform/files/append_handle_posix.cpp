// SPDX-License-Identifier: Apache-2.0
#include "platform/files/append_handle.h"

#include "platform/files/atomic_file.h"  // EFileError, FileErrorText

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

TAppendHandle::TAppendHandle(const std::string &pathUtf8)
    : FHandle(open(pathUtf8.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666))
{
    if (FHandle < 0)
        throw EFileError(FileErrorText(TFileStep::Create, pathUtf8, std::generic_category().message(errno)));
}

TAppendHandle::~TAppendHandle()
{
    close(static_cast<int>(FHandle));
}

std::string TAppendHandle::Append(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(static_cast<int>(FHandle), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return std::generic_category().message(errno);
        if (written == 0)
            return std::generic_category().message(EIO);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}
