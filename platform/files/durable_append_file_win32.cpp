#include "platform/files/durable_append_file.h"
#include "platform/files/durable_append_handle_win32.h"
#include "platform/files/file_names_win32.h"
#include "platform/files/long_path_win32.h"
#include "platform/text/system_error_text_win32.h"

#include <cstring>
#include <vector>

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

// Gives the open file the name `path` (a SystemPath) only while nothing has it.
DWORD RenameOpenFile(HANDLE file, const std::wstring &path)
{
    const DWORD nameBytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto *rename = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = nameBytes;
    std::memcpy(rename->FileName, path.c_str(), nameBytes);
    if (!SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())))
        return GetLastError();
    return FlushToDisk(file) ? ERROR_SUCCESS : GetLastError();
}
} // namespace

HANDLE CreateDurableAppendHandle(const std::wstring &path)
{
    // FlushFileBuffers refuses a handle without GENERIC_WRITE, and appending
    // access alone (FILE_APPEND_DATA) is not that: each row would be written
    // and then its flush refused. Writing at the end is left to each write.
    // DELETE lets the new file take its final name while it is open.
    return CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TDurableAppendFile::TDurableAppendFile(const std::string &pathUtf8, std::string_view firstPiece)
    : F(std::make_unique<TState>())
{
    F->Path = pathUtf8;
    F->SystemPath = SystemPath(pathUtf8);
    if (F->SystemPath.empty())
        Fail(TFileStep::Create, pathUtf8, ERROR_INVALID_NAME);
    // The first piece goes to a temporary file beside, which takes the name
    // once the piece is on the disk; it stays open for the appends.
    const std::wstring temporary = PathBeside(F->SystemPath, NameLength(F->SystemPath));
    F->File = CreateDurableAppendHandle(temporary);
    if (F->File == INVALID_HANDLE_VALUE)
        Fail(TFileStep::Create, pathUtf8, GetLastError());
    const auto discard = [&](TFileStep step, DWORD error) {
        CloseHandle(F->File);
        F->File = INVALID_HANDLE_VALUE;
        DeleteFileW(temporary.c_str());
        Fail(step, pathUtf8, error);
    };
    if (const DWORD error = WriteAndFlush(F->File, firstPiece))
        discard(TFileStep::Write, error);
    if (const DWORD error = RenameOpenFile(F->File, F->SystemPath))
        discard(TFileStep::Create, error);
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
