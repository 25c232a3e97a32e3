// SPDX-License-Identifier: Apache-2.0
#include "platform/files/whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::optional<std::string> ReadWholeFile(const std::string &pathUtf8)
{
    const int file = open(pathUtf8.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::nullopt;
    std::optional<std::string> bytes(std::in_place);
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(file, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            bytes.reset();
        if (count <= 0)
            break;
        bytes->append(buffer, static_cast<std::size_t>(count));
    }
    close(file);
    return bytes;
}
