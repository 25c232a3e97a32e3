#include "platform/durable_append_file.h"
#include "platform/win32/durable_append_handle.h"
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

HANDLE CreateDurableAppendHandle(const std::wstring &path)
{
    // FlushFileBuffers refuses a handle without GENERIC_WRITE, and appending
    // access alone (FILE_APPEND_DATA) is not that: each row would be written
    // and then its flush refused. Writing at the end is left to each write.
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TDurableAppendFile::TDurableAppendFile(const std::string &pathUtf8) : F(std::make_unique<TState>())
{
    F->Path = pathUtf8;
    const std::wstring path = WideFromUtf8(pathUtf8);
    if (path.empty())
        Fail(TFileStep::Create, pathUtf8, ERROR_INVALID_NAME);
    F->File = CreateDurableAppendHandle(path);
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
        // An offset of all ones writes at the end of the file, wherever the
        // file pointer stands: what appending access alone would have done.
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFFu;
        atEnd.OffsetHigh = 0xFFFFFFFFu;
        DWORD written = 0;
        if (!WriteFile(F->File, bytes.data(), chunk, &written, &atEnd))
            Fail(TFileStep::Write, F->Path, GetLastError());
        if (written == 0)
            Fail(TFileStep::Write, F->Path, ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
    }
    if (!FlushFileBuffers(F->File))
        Fail(TFileStep::Write, F->Path, GetLastError());
}

const std::string &TDurableAppendFile::Path() const
{
    return F->Path;
}
