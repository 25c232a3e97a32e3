#include "platform/files/atomic_file.h"
#include "platform/files/temporary_name.h"

#include <atomic>
#include <cerrno>
#include <chrono>
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

std::string Describe(int error)
{
    char buffer[256] = {};
    return ErrorTextFrom(strerror_r(error, buffer, sizeof buffer), buffer);
}

[[noreturn]] void Throw(TFileStep step, const std::string &path, int error)
{
    if (error == EEXIST)
        throw EFileExists(FileErrorText(step, path, Describe(error)));
    throw EFileError(FileErrorText(step, path, Describe(error)));
}

// Gives the temporary file the target's name only while nothing has that name.
int RenameWithoutReplacing(const char *from, const char *to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot rename so: a second name fails just the same
    // on an existing target.
    if (link(from, to) != 0)
        return errno;
    unlink(from);
    return 0;
}

std::string FolderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return "";
    return path.substr(0, slash + 1);
}

// Beside the target, so that the rename stays on one file system.
std::string TemporaryPathFor(const std::string &target)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return folder + TemporaryFileName(target.size() - folder.size(), static_cast<std::uint64_t>(getpid()), counter++,
                                      static_cast<std::uint64_t>(ticks));
}

} // namespace

struct TAtomicFile::TState {
    std::string Target;
    TReplace Replace = TReplace::Existing;
    std::string Temporary;
    int Descriptor = -1;
    bool Committed = false;
};

TAtomicFile::TAtomicFile() = default;

TAtomicFile::~TAtomicFile()
{
    Discard();
}

void TAtomicFile::Discard() noexcept
{
    if (!F)
        return;
    if (F->Descriptor >= 0)
        close(F->Descriptor);
    F->Descriptor = -1;
    if (!F->Committed && !F->Temporary.empty())
        unlink(F->Temporary.c_str());
    F->Temporary.clear();
}

void TAtomicFile::Fail(TFileStep step, unsigned long platformError)
{
    const std::string target = F ? F->Target : std::string();
    Discard();
    Throw(step, target, static_cast<int>(platformError));
}

void TAtomicFile::Open(const std::string &targetUtf8, TReplace replace)
{
    if (F)
        throw std::logic_error("TAtomicFile::Open called twice");
    auto state = std::make_unique<TState>();
    state->Target = targetUtf8;
    state->Replace = replace;
    struct stat named {};
    if (replace == TReplace::Never && lstat(targetUtf8.c_str(), &named) == 0)
        Throw(TFileStep::Create, targetUtf8, EEXIST);

    // A rename would replace a read-only file without asking, so look first.
    // The mode bits count on their own: as root access() lets every write pass.
    struct stat existing {};
    const bool exists = stat(targetUtf8.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT)
        Throw(TFileStep::Create, targetUtf8, errno);
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            Throw(TFileStep::Create, targetUtf8, EISDIR);
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            Throw(TFileStep::Create, targetUtf8, EACCES);
        if (access(targetUtf8.c_str(), W_OK) != 0)
            Throw(TFileStep::Create, targetUtf8, errno);
    }

    // With 0666 the process's umask decides a new file's mode, as for any file it
    // creates; a replaced file keeps the mode it had.
    for (int attempt = 0; state->Descriptor < 0; ++attempt) {
        state->Temporary = TemporaryPathFor(targetUtf8);
        state->Descriptor = open(state->Temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (state->Descriptor < 0 && (errno != EEXIST || attempt >= 100)) {
            const int error = errno;
            state->Temporary.clear();
            Throw(TFileStep::Create, targetUtf8, error);
        }
    }
    if (exists && fchmod(state->Descriptor, existing.st_mode & 07777) != 0) {
        const int error = errno;
        F = std::move(state);
        Fail(TFileStep::Create, static_cast<unsigned long>(error));
    }
    F = std::move(state);
}

void TAtomicFile::Write(std::string_view bytes)
{
    if (!F || F->Descriptor < 0)
        throw std::logic_error("TAtomicFile::Write without an open file");
    while (!bytes.empty()) {
        const ssize_t written = write(F->Descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail(TFileStep::Write, static_cast<unsigned long>(errno));
        }
        if (written == 0)
            Fail(TFileStep::Write, EIO);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void TAtomicFile::Commit()
{
    if (!F || F->Descriptor < 0)
        throw std::logic_error("TAtomicFile::Commit without an open file");
    // Only data that is on the disk may take the old file's place.
    if (fsync(F->Descriptor) != 0)
        Fail(TFileStep::Write, static_cast<unsigned long>(errno));
    const int descriptor = F->Descriptor;
    F->Descriptor = -1;
    if (close(descriptor) != 0)
        Fail(TFileStep::Write, static_cast<unsigned long>(errno));
    if (F->Replace == TReplace::Never) {
        const int error = RenameWithoutReplacing(F->Temporary.c_str(), F->Target.c_str());
        if (error != 0)
            Fail(TFileStep::Create, static_cast<unsigned long>(error));
    } else if (rename(F->Temporary.c_str(), F->Target.c_str()) != 0) {
        Fail(TFileStep::Create, static_cast<unsigned long>(errno));
    }
    F->Committed = true;

    // Make the new name itself durable. The file is already in place and whole,
    // so a folder that cannot be synced (some file systems refuse) is no failure.
    const std::string folder = FolderOf(F->Target);
    const int folderDescriptor = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        fsync(folderDescriptor);
        close(folderDescriptor);
    }
}

std::string TAtomicFile::TemporaryPath() const
{
    return F && !F->Committed ? F->Temporary : std::string();
}
