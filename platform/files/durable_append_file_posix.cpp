// SPDX-License-Identifier: Apache-2.0
#include "platform/files/durable_append_file.h"
#include "platform/files/file_names_posix.h"

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

// Writes all bytes and syncs them: 0, or the errno of the step that failed.
int WriteAndSync(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return fdatasync(descriptor) != 0 ? errno : 0;
}
} // namespace

TDurableAppendFile::TDurableAppendFile(const std::string &pathUtf8, std::string_view firstPiece)
    : F(std::make_unique<TState>())
{
    F->Path = pathUtf8;
    // The first piece goes to a temporary file beside, which takes the name
    // once the piece is on the disk; it stays open for the appends.
    const std::string temporary = TemporaryPathBeside(pathUtf8);
    F->Descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
    if (F->Descriptor < 0)
        Fail(TFileStep::Create, pathUtf8, errno);
    const auto discard = [&](TFileStep step, int error) {
        close(F->Descriptor);
        F->Descriptor = -1;
        unlink(temporary.c_str());
        Fail(step, pathUtf8, error);
    };
    if (const int error = WriteAndSync(F->Descriptor, firstPiece))
        discard(TFileStep::Write, error);
    if (const int error = RenameWithoutReplacing(temporary.c_str(), pathUtf8.c_str()))
        discard(TFileStep::Create, error);
    SyncFolderOf(pathUtf8);
    F->Size = static_cast<off_t>(firstPiece.size());
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
    if (const int error = WriteAndSync(F->Descriptor, bytes)) {
        // A short write on a full disk leaves part of the piece in the file;
        // cut it off, so the file still ends at a whole piece.
        if (ftruncate(F->Descriptor, F->Size) == 0)
            fdatasync(F->Descriptor);
        Fail(TFileStep::Write, F->Path, error);
    }
    F->Size += static_cast<off_t>(bytes.size());
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
