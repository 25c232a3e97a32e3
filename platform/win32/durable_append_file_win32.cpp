#include "platform/durable_append_file.h"
#include "platform/win32/system_error_text.h"
#include "platform/win32/wide_text.h"

struct TDurableAppendFile::TState {
    std::string Path;
    HANDLE File = INVALID_HANDLE_VALUE;
};

namespace {
[[noreturn]] void Fail(TFileStep step, const std::string &path, DWORD error)
{
    throw EFileError(FileErrorText(step, path, SystemErrorText(error)));
}
} // namespace

TDurableAppendFile::TDurableAppendFile(const std::string &pathUtf8) : F(std::make_unique<TState>())
{
    F->Path = pathUtf8;
    // Others may read the log while it grows; nobody else may write it.
    F->File = CreateFileW(WideFromUtf8(pathUtf8).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (F->File == INVALID_HANDLE_VALUE)
        Fail(TFileStep::Create, pathUtf8, GetLastError());
}

TDurableAppendFile::~TDurableAppendFile()
{
    if (F && F->File != INVALID_HANDLE_VALUE)
        CloseHandle(F->File);
}

void TDurableAppendFile::Append(std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(F->File, bytes.data(), chunk, &written, nullptr))
            Fail(TFileStep::Write, F->Path, GetLastError());
        bytes.remove_prefix(written);
    }
    if (!FlushFileBuffers(F->File))
        Fail(TFileStep::Write, F->Path, GetLastError());
}

const std::string &TDurableAppendFile::Path() const
{
    return F->Path;
}
