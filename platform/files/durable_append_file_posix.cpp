#include "platform/files/durable_append_file.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

struct TDurableAppendFile::TState {
    std::string Path;
    int Descriptor = -1;
    off_t Size = 0;  // where the last whole append ended
};

namespace {
[[noreturn]] void Fail(TFileStep step, const std::string &path, int error)
{
    const std::string text = FileErrorText(step, path, std::generic_category().message(error));
    if (error == EEXIST)
        throw EFileExists(text);
    throw EFileError(text);
}
} // namespace

TDurableAppendFile::TDurableAppendFile(const std::string &pathUtf8) : F(std::make_unique<TState>())
{
    F->Path = pathUtf8;
    F->Descriptor = open(pathUtf8.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
    if (F->Descriptor < 0)
        Fail(TFileStep::Create, pathUtf8, errno);
    // The new name itself must survive a crash too.
    const auto slash = pathUtf8.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : pathUtf8.substr(0, slash + 1);
    const int folderDescriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        fsync(folderDescriptor);
        close(folderDescriptor);
    }
}

TDurableAppendFile::~TDurableAppendFile()
{
    if (F && F->Descriptor >= 0)
        close(F->Descriptor);
}

void TDurableAppendFile::Append(std::string_view bytes)
{
    if (F->Descriptor < 0)
        Fail(TFileStep::Write, F->Path, EBADF);
    const std::size_t whole = bytes.size();
    int error = 0;
    while (!bytes.empty()) {
        const ssize_t written = write(F->Descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (error == 0 && fdatasync(F->Descriptor) != 0)
        error = errno;
    if (error != 0) {
        // A short write on a full disk leaves part of the piece in the file;
        // cut it off, so the file still ends at a whole piece.
        if (ftruncate(F->Descriptor, F->Size) == 0)
            fdatasync(F->Descriptor);
        Fail(TFileStep::Write, F->Path, error);
    }
    F->Size += static_cast<off_t>(whole);
}

void TDurableAppendFile::Remove() noexcept
{
    if (F->Descriptor < 0)
        return;  // removed before: the name may be someone else's by now
    close(F->Descriptor);
    F->Descriptor = -1;
    unlink(F->Path.c_str());
}

const std::string &TDurableAppendFile::Path() const
{
    return F->Path;
}

std::uint64_t TDurableAppendFile::Size() const
{
    return static_cast<std::uint64_t>(F->Size);
}
