// SPDX-License-Identifier: Apache-2.0
#include "tests/support/tiny_disk.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

#ifdef _WIN32

TTinyDisk::TTinyDisk(const fs::path &where, std::size_t) : FWhere(where)
{
    FWhyNot = "Windows has no tmpfs to mount and fill";
}
TTinyDisk::~TTinyDisk() = default;
void TTinyDisk::FillLeaving(std::size_t) {}
std::size_t TTinyDisk::PageSize()
{
    return 4096;
}

#else

TTinyDisk::TTinyDisk(const fs::path &where, std::size_t bytes) : FWhere(where)
{
    fs::create_directories(where);
    if (geteuid() != 0) {
        FWhyNot = "mounting a tiny tmpfs needs root";
        return;
    }
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        FWhyNot = std::string("this machine does not let the test mount a tmpfs: ") + std::strerror(errno);
        return;
    }
    FMounted = true;
}

TTinyDisk::~TTinyDisk()
{
    if (FMounted)
        umount2(FWhere.c_str(), MNT_DETACH);
}

std::size_t TTinyDisk::PageSize()
{
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void TTinyDisk::FillLeaving(std::size_t freePages)
{
    // Written until the disk refuses, then cut back by whole pages: tmpfs
    // hands out its space a page at a time.
    const std::string path = (FWhere / ".filler").string();
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0)
        throw std::runtime_error("cannot make the filler file");
    const std::string page(PageSize(), 'f');
    off_t size = 0;
    while (true) {
        const ssize_t written = write(descriptor, page.data(), page.size());
        if (written <= 0)
            break;
        size += written;
    }
    size -= size % static_cast<off_t>(PageSize());
    const off_t kept = size - static_cast<off_t>(freePages * PageSize());
    const bool cut = kept >= 0 && ftruncate(descriptor, kept) == 0;
    close(descriptor);
    if (!cut)
        throw std::runtime_error("the tiny disk is too small to leave that much free");
}

#endif
