#include "platform/files/atomic_file.h"
#include "platform/files/momentary_retry.h"
#include "platform/files/temporary_name.h"
#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <atomic>
#include <string>

#include <windows.h>

namespace {

[[noreturn]] void Throw(TFileStep step, const std::string &path, DWORD error)
{
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        throw EFileExists(FileErrorText(step, path, SystemErrorText(error)));
    throw EFileError(FileErrorText(step, path, SystemErrorText(error)));
}

std::wstring FolderOf(const std::wstring &path)
{
    const auto separator = path.find_last_of(L"\\/:");
    if (separator == std::wstring::npos)
        return std::wstring();
    return path.substr(0, separator + 1);
}

// Beside the target, so that the rename stays on one volume.
std::wstring TemporaryPathFor(const std::wstring &target)
{
    static std::atomic<unsigned> counter{0};
    const std::wstring folder = FolderOf(target);
    const std::string name =
        TemporaryFileName(target.size() - folder.size(), GetCurrentProcessId(), counter++, GetTickCount64());
    return folder + std::wstring(name.begin(), name.end());
}

// Another program that holds the file for a moment: a sharing or lock
// violation, or access denied while it keeps the file open for deletion.
bool IsMomentaryHold(unsigned long error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// 0 for a call that succeeded, else its error (never 0).
unsigned long Outcome(BOOL succeeded)
{
    if (succeeded)
        return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

} // namespace

struct TAtomicFile::TState {
    std::string Target;
    TReplace Replace = TReplace::Existing;
    std::wstring TargetWide;
    std::wstring Temporary;
    HANDLE Handle = INVALID_HANDLE_VALUE;
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
    if (F->Handle != INVALID_HANDLE_VALUE)
        CloseHandle(F->Handle);
    F->Handle = INVALID_HANDLE_VALUE;
    if (!F->Committed && !F->Temporary.empty())
        DeleteFileW(F->Temporary.c_str());
    F->Temporary.clear();
}

void TAtomicFile::Fail(TFileStep step, unsigned long platformError)
{
    const std::string target = F ? F->Target : std::string();
    Discard();
    Throw(step, target, static_cast<DWORD>(platformError));
}

void TAtomicFile::Open(const std::string &targetUtf8, TReplace replace)
{
    if (F)
        throw std::logic_error("TAtomicFile::Open called twice");
    auto state = std::make_unique<TState>();
    state->Target = targetUtf8;
    state->Replace = replace;
    state->TargetWide = WideFromUtf8(targetUtf8);
    if (state->TargetWide.empty())
        Throw(TFileStep::Create, targetUtf8, ERROR_INVALID_NAME);
    if (replace == TReplace::Never && GetFileAttributesW(state->TargetWide.c_str()) != INVALID_FILE_ATTRIBUTES)
        Throw(TFileStep::Create, targetUtf8, ERROR_FILE_EXISTS);

    // The replace at the end would fail on a read-only file or one that another
    // program holds open; find that out before anything is written.
    const DWORD attributes = GetFileAttributesW(state->TargetWide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
            Throw(TFileStep::Create, targetUtf8, ERROR_ACCESS_DENIED);
        // Opening it with no sharing succeeds only when nobody else has it open.
        const unsigned long probed = RetryMomentaryFailure(
            [&state] {
                const HANDLE probe = CreateFileW(state->TargetWide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                const unsigned long result = Outcome(probe != INVALID_HANDLE_VALUE);
                if (probe != INVALID_HANDLE_VALUE)
                    CloseHandle(probe);
                return result;
            },
            IsMomentaryHold);
        if (probed != 0)
            Throw(TFileStep::Create, targetUtf8, probed);
    } else {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            Throw(TFileStep::Create, targetUtf8, error);
    }

    for (int attempt = 0; state->Handle == INVALID_HANDLE_VALUE; ++attempt) {
        state->Temporary = TemporaryPathFor(state->TargetWide);
        state->Handle = CreateFileW(state->Temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (state->Handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS || attempt >= 100) {
                state->Temporary.clear();
                Throw(TFileStep::Create, targetUtf8, error);
            }
        }
    }
    F = std::move(state);
}

void TAtomicFile::Write(std::string_view bytes)
{
    if (!F || F->Handle == INVALID_HANDLE_VALUE)
        throw std::logic_error("TAtomicFile::Write without an open file");
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(F->Handle, bytes.data(), chunk, &written, nullptr))
            Fail(TFileStep::Write, GetLastError());
        if (written == 0)
            Fail(TFileStep::Write, ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
    }
}

void TAtomicFile::Commit()
{
    if (!F || F->Handle == INVALID_HANDLE_VALUE)
        throw std::logic_error("TAtomicFile::Commit without an open file");
    // Only data that is on the disk may take the old file's place.
    if (!FlushFileBuffers(F->Handle))
        Fail(TFileStep::Write, GetLastError());
    const HANDLE handle = F->Handle;
    F->Handle = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle))
        Fail(TFileStep::Write, GetLastError());
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
    const DWORD replace = F->Replace == TReplace::Existing ? MOVEFILE_REPLACE_EXISTING : 0;
    const unsigned long moved = RetryMomentaryFailure(
        [this, replace] {
            return Outcome(MoveFileExW(F->Temporary.c_str(), F->TargetWide.c_str(), replace | MOVEFILE_WRITE_THROUGH));
        },
        IsMomentaryHold);
    if (moved != 0)
        Fail(TFileStep::Create, moved);
    F->Committed = true;
}

std::string TAtomicFile::TemporaryPath() const
{
    if (!F || F->Committed || F->Temporary.empty())
        return std::string();
    return Utf8FromWide(F->Temporary);
}
