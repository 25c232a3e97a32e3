#include "platform/durable_append_file.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

struct TDurableAppendFile::TState {
    std::string Path;
    int Descriptor = -1;
};

namespace {
[[noreturn]] void Fail(TFileStep step, const std::string &path, int error)
{
    throw EFileError(FileErrorText(step, path, std::generic_category().message(error)));
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
    while (!bytes.empty()) {
        const ssize_t written = write(F->Descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail(TFileStep::Write, F->Path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (fdatasync(F->Descriptor) != 0)
        Fail(TFileStep::Write, F->Path, errno);
}

const std::string &TDurableAppendFile::Path() const
{
    return F->Path;
}
