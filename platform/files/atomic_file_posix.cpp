// SPDX-License-Identifier: Apache-2.0
#include "platform/files/atomic_file_system.h"
#include "platform/files/file_names_posix.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// strerror_r comes in a GNU and an XSI form; take the text from either.
[[maybe_unused]] const char *ErrorTextFrom(int result, const char *buffer)
{
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char *ErrorTextFrom(const char *text, const char *)
{
    return text;
}

unsigned long LastError()
{
    return static_cast<unsigned long>(errno);
}

class TPosixAtomicFile final : public TAtomicFileSystem {
public:
    explicit TPosixAtomicFile(const std::string &targetUtf8) : FTarget(targetUtf8) {}
    ~TPosixAtomicFile() override { Remove(); }

    unsigned long CheckTarget(TReplace replace) override
    {
        struct stat named {};
        if (replace == TReplace::Never && lstat(FTarget.c_str(), &named) == 0)
            return EEXIST;

        // A rename would replace a read-only file without asking, so look first.
        // The mode bits count on their own: as root access() lets every write pass.
        struct stat existing {};
        FReplaces = stat(FTarget.c_str(), &existing) == 0;
        if (!FReplaces)
            return errno != ENOENT ? LastError() : 0;
        if (S_ISDIR(existing.st_mode))
            return EISDIR;
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return EACCES;
        if (access(FTarget.c_str(), W_OK) != 0)
            return LastError();
        FMode = existing.st_mode & 07777;
        return 0;
    }

    unsigned long CreateTemporary() override
    {
        // With 0666 the process's umask decides a new file's mode, as for any file it
        // creates; a replaced file keeps the mode it had.
        FTemporary = TemporaryPathBeside(FTarget);
        FDescriptor = open(FTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (FDescriptor < 0) {
            const unsigned long error = LastError();
            FTemporary.clear();
            return error;
        }
        if (FReplaces && fchmod(FDescriptor, FMode) != 0) {
            const unsigned long error = LastError();
            Remove();
            return error;
        }
        return 0;
    }

    bool IsOpen() const override { return FDescriptor >= 0; }

    unsigned long Write(std::string_view bytes, std::size_t &written) override
    {
        for (;;) {
            const ssize_t result = write(FDescriptor, bytes.data(), bytes.size());
            if (result < 0 && errno == EINTR)
                continue;
            if (result < 0)
                return LastError();
            if (result == 0)
                return EIO;
            written = static_cast<std::size_t>(result);
            return 0;
        }
    }

    unsigned long Flush() override { return fsync(FDescriptor) != 0 ? LastError() : 0; }

    unsigned long Close() override
    {
        const int descriptor = FDescriptor;
        FDescriptor = -1;
        return close(descriptor) != 0 ? LastError() : 0;
    }

    unsigned long MoveIntoPlace(TReplace replace) override
    {
        if (replace == TReplace::Never) {
            if (const int error = RenameWithoutReplacing(FTemporary.c_str(), FTarget.c_str()))
                return static_cast<unsigned long>(error);
        } else if (rename(FTemporary.c_str(), FTarget.c_str()) != 0) {
            return LastError();
        }
        FTemporary.clear();
        // The new name itself must survive a power cut too.
        SyncFolderOf(FTarget);
        return 0;
    }

    void Remove() noexcept override
    {
        if (FDescriptor >= 0)
            close(FDescriptor);
        FDescriptor = -1;
        if (!FTemporary.empty())
            unlink(FTemporary.c_str());
        FTemporary.clear();
    }

    std::string TemporaryPath() const override { return FTemporary; }

private:
    std::string FTarget;
    bool FReplaces = false;  // an existing file, whose mode the new one takes
    mode_t FMode = 0;
    std::string FTemporary;
    int FDescriptor = -1;
};

} // namespace

const unsigned long TAtomicFileSystem::NewNameTaken = EEXIST;

bool TAtomicFileSystem::MeansNameTaken(unsigned long error)
{
    return error == EEXIST;
}

std::string TAtomicFileSystem::Describe(unsigned long error)
{
    char buffer[256] = {};
    return ErrorTextFrom(strerror_r(static_cast<int>(error), buffer, sizeof buffer), buffer);
}

std::unique_ptr<TAtomicFileSystem> NewAtomicFileSystem(const std::string &targetUtf8)
{
    return std::make_unique<TPosixAtomicFile>(targetUtf8);
}
