// SPDX-License-Identifier: Apache-2.0
#include "platform/files/durable_append_file.h"
#include "platform/files/durable_append_handle_win32.h"
#include "platform/files/file_names_win32.h"
#include "platform/files/long_path_win32.h"
#include "platform/files/momentary_retry.h"
#include "platform/text/system_error_text_win32.h"


struct TDurableAppendFile::TState {
    std::string Path;
    std::wstring SystemPath;  // SystemPath(Path), as it was when the file was made
    HANDLE File = INVALID_HANDLE_VALUE;
    LONGLONG Size = 0;  // where the last whole append ended
};

namespace {
[[noreturn]] void Fail(TFileStep step, const std::string &path, DWORD error)
{
    const std::string text = FileErrorText(step, path, SystemErrorText(error));
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        throw EFileExists(text);
    throw EFileError(text);
}

// Writes all bytes at the end of the file and flushes them to the disk:
// ERROR_SUCCESS, or the error of the step that failed.
DWORD WriteAndFlush(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        // An offset of all ones writes at the end of the file, wherever the
        // file pointer stands: what appending access alone would have done.
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFFu;
        atEnd.OffsetHigh = 0xFFFFFFFFu;
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, &atEnd))
            return GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return FlushToDisk(file) ? ERROR_SUCCESS : GetLastError();
}

// A sharing violation of a program that opened the new file the moment it
// got its name (an indexer, a virus scanner).
bool IsMomentaryHold(unsigned long error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}
} // namespace

HANDLE CreateDurableAppendHandle(const std::wstring &path, DWORD disposition)
{
    // FlushFileBuffers refuses a handle without GENERIC_WRITE, and appending
    // access alone (FILE_APPEND_DATA) is not that: each row would be written
    // and then its flush refused. Writing at the end is left to each write.
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

TDurableAppendFile::TDurableAppendFile(const std::string &pathUtf8, std::string_view firstPiece)
    : F(std::make_unique<TState>())
{
    F->Path = pathUtf8;
    F->SystemPath = SystemPath(pathUtf8);
    if (F->SystemPath.empty())
        Fail(TFileStep::Create, pathUtf8, ERROR_INVALID_NAME);
    // The first piece goes to a temporary file beside, which takes the name
    // once the piece is on the disk. A handle that may rename its file would
    // keep every reader out (they do not share deletion), so the file is
    // opened anew for the appends.
    const std::wstring temporary = PathBeside(F->SystemPath, NameLength(F->SystemPath));
    const HANDLE first = CreateDurableAppendHandle(temporary, CREATE_NEW);
    if (first == INVALID_HANDLE_VALUE)
        Fail(TFileStep::Create, pathUtf8, GetLastError());
    DWORD error = WriteAndFlush(first, firstPiece);
    CloseHandle(first);
    TFileStep step = TFileStep::Write;
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken stays untouched.
    if (error == ERROR_SUCCESS && !MoveFileExW(temporary.c_str(), F->SystemPath.c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        step = TFileStep::Create;
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
        Fail(step, pathUtf8, error);
    }
    const unsigned long opened = RetryMomentaryFailure(
        [&]() -> unsigned long {
            F->File = CreateDurableAppendHandle(F->SystemPath, OPEN_EXISTING);
            return F->File == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        },
        IsMomentaryHold);
    if (opened != ERROR_SUCCESS) {
        DeleteFileW(F->SystemPath.c_str());
        Fail(TFileStep::Create, pathUtf8, static_cast<DWORD>(opened));
    }
    F->Size = static_cast<LONGLONG>(firstPiece.size());
}

TDurableAppendFile::~TDurableAppendFile()
{
    if (F && F->File != INVALID_HANDLE_VALUE)
        CloseHandle(F->File);
}

void TDurableAppendFile::Append(std::string_view bytes)
{
    if (F->File == INVALID_HANDLE_VALUE)
        Fail(TFileStep::Write, F->Path, ERROR_INVALID_HANDLE);
    const DWORD error = WriteAndFlush(F->File, bytes);
    if (error != ERROR_SUCCESS) {
        // A full disk may have taken part of the piece; cut it off, so the file
        // still ends at a whole piece. Later writes go to the end again.
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = F->Size;
        if (SetFileInformationByHandle(F->File, FileEndOfFileInfo, &end, sizeof end))
            FlushToDisk(F->File);
        Fail(TFileStep::Write, F->Path, error);
    }
    F->Size += static_cast<LONGLONG>(bytes.size());
}

void TDurableAppendFile::Remove() noexcept
{
    if (F->File == INVALID_HANDLE_VALUE)
        return;  // removed before: the name may be someone else's by now
    CloseHandle(F->File);
    F->File = INVALID_HANDLE_VALUE;
    DeleteFileW(F->SystemPath.c_str());
}

const std::string &TDurableAppendFile::Path() const
{
    return F->Path;
}

std::uint64_t TDurableAppendFile::Size() const
{
    return static_cast<std::uint64_t>(F->Size);
}
