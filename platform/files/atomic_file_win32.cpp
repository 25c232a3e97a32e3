// SPDX-License-Identifier: Apache-2.0
#include "platform/files/atomic_file_system.h"
#include "platform/files/file_names_win32.h"
#include "platform/files/long_path_win32.h"
#include "platform/files/momentary_retry.h"
#include "platform/files/temporary_name.h"
#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <functional>
#include <string>

#include <windows.h>

namespace {

// Another program that holds the file for a moment: a sharing or lock
// violation, or access denied while it keeps the file open for deletion.
bool IsMomentaryHold(unsigned long error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// The same for ReplaceFileW, which says so also in words of its own; with
// each of them both files still have their own names.
bool IsMomentaryReplaceHold(unsigned long error)
{
    return IsMomentaryHold(error) || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// 0 for a call that succeeded, else its error (never 0).
unsigned long Outcome(BOOL succeeded)
{
    if (succeeded)
        return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

// A call on a file, tried again while another program holds the file.
unsigned long Retried(const std::function<BOOL()> &call)
{
    return RetryMomentaryFailure([&call] { return Outcome(call()); }, IsMomentaryHold);
}

class TWin32AtomicFile final : public TAtomicFileSystem {
public:
    explicit TWin32AtomicFile(const std::string &targetUtf8)
        : FTargetShown(WideFromUtf8(targetUtf8)), FTarget(SystemPath(targetUtf8))
    {
    }
    ~TWin32AtomicFile() override { Remove(); }

    unsigned long CheckTarget(TReplace replace) override
    {
        if (FTarget.empty())
            return ERROR_INVALID_NAME;
        if (replace == TReplace::Never && GetFileAttributesW(FTarget.c_str()) != INVALID_FILE_ATTRIBUTES)
            return ERROR_FILE_EXISTS;

        // The replace at the end would fail on a read-only file or one that another
        // program holds open; find that out before anything is written.
        const DWORD attributes = GetFileAttributesW(FTarget.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            return error != ERROR_FILE_NOT_FOUND ? error : 0;
        }
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
            return ERROR_ACCESS_DENIED;
        FReplaces = true;
        // Opening it with no sharing succeeds only when nobody else has it open.
        return RetryMomentaryFailure(
            [this] {
                const HANDLE probe = CreateFileW(FTarget.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr);
                const unsigned long result = Outcome(probe != INVALID_HANDLE_VALUE);
                if (probe != INVALID_HANDLE_VALUE)
                    CloseHandle(probe);
                return result;
            },
            IsMomentaryHold);
    }

    unsigned long CreateTemporary() override
    {
        // Its length counts on the path the system is given.
        FTemporary = PathBeside(FTarget, NameLength(FTarget));
        FTemporaryShown = FolderOf(FTargetShown) + FTemporary.substr(FolderOf(FTarget).size());
        FHandle = CreateFileW(FTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (FHandle != INVALID_HANDLE_VALUE)
            return 0;
        const DWORD error = GetLastError();
        FTemporary.clear();
        return error;
    }

    bool IsOpen() const override { return FHandle != INVALID_HANDLE_VALUE; }

    unsigned long Write(std::string_view bytes, std::size_t &written) override
    {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD done = 0;
        if (!WriteFile(FHandle, bytes.data(), chunk, &done, nullptr))
            return GetLastError();
        if (done == 0)
            return ERROR_WRITE_FAULT;
        written = done;
        return 0;
    }

    unsigned long Flush() override { return FlushToDisk(FHandle) ? 0 : GetLastError(); }

    unsigned long Close() override
    {
        const HANDLE handle = FHandle;
        FHandle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) ? 0 : GetLastError();
    }

    unsigned long MoveIntoPlace(TReplace replace) override
    {
        if (replace == TReplace::Existing && FReplaces) {
            const unsigned long replaced = RetryMomentaryFailure([this] { return ReplaceTarget(); }, IsMomentaryReplaceHold);
            if (replaced != ERROR_FILE_NOT_FOUND)
                return Placed(replaced);
            // The target went away since the check: there is nothing left to keep.
        }
        // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
        const DWORD flags = (replace == TReplace::Existing ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH;
        return Placed(Retried([this, flags] { return MoveFileExW(FTemporary.c_str(), FTarget.c_str(), flags); }));
    }

    void Remove() noexcept override
    {
        if (FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
        if (!FTemporary.empty())
            DeleteFileW(FTemporary.c_str());
        FTemporary.clear();
    }

    std::string TemporaryPath() const override
    {
        return FTemporary.empty() ? std::string() : Utf8FromWide(FTemporaryShown);
    }

private:
    std::wstring FTargetShown;  // as the caller wrote it, for TemporaryPath()
    std::wstring FTarget;       // SystemPath(): what the calls are given
    bool FReplaces = false;     // an existing file, whose permissions the new one takes
    std::wstring FTemporary;
    std::wstring FTemporaryShown;
    HANDLE FHandle = INVALID_HANDLE_VALUE;

    unsigned long Placed(unsigned long error)
    {
        if (error == 0)
            FTemporary.clear();  // it is the target now
        return error;
    }

    // Gives the temporary file the target's name through ReplaceFileW, which
    // keeps the old file's permissions, attributes and streams. The old file
    // goes to a backup name first: a replace that stops halfway then leaves it
    // where it can be put back, not under a name of the system's.
    unsigned long ReplaceTarget()
    {
        // A name of the longest length: the shorter ones a short target's
        // temporary file takes may all be taken ("~" is the only one for a
        // one-letter target). The "\\?\" form keeps clear of the path's limit.
        std::wstring backup = PathBeside(FTarget, LongestTemporaryName);
        for (int attempt = 1; GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
            if (attempt >= 100)
                return ERROR_FILE_EXISTS;
            backup = PathBeside(FTarget, LongestTemporaryName);
        }
        // A file system that cannot carry the permissions over (some network
        // shares) still gets the new contents, as a rename would give them.
        const unsigned long error = Outcome(ReplaceFileW(FTarget.c_str(), FTemporary.c_str(), backup.c_str(),
                                                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr));
        if (error != 0 && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            return error;  // each file still has its own name; no backup was made
        if (error != 0) {
            // The old file has the backup's name, the new one still its own (and
            // the old one's attributes); the target's name is free.
            const unsigned long moved = Retried(
                [&] { return MoveFileExW(FTemporary.c_str(), FTarget.c_str(), MOVEFILE_WRITE_THROUGH); });
            if (moved != 0) {
                // The old file goes back. Should even that fail, it stays under
                // the backup's name: it is deleted only once the new one is in place.
                Retried([&] { return MoveFileExW(backup.c_str(), FTarget.c_str(), MOVEFILE_WRITE_THROUGH); });
                return moved;
            }
        }
        Retried([&] { return DeleteFileW(backup.c_str()); });
        return 0;
    }
};

} // namespace

const unsigned long TAtomicFileSystem::NewNameTaken = ERROR_FILE_EXISTS;

bool TAtomicFileSystem::MeansNameTaken(unsigned long error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

std::string TAtomicFileSystem::Describe(unsigned long error)
{
    return SystemErrorText(error);
}

std::unique_ptr<TAtomicFileSystem> NewAtomicFileSystem(const std::string &targetUtf8)
{
    return std::make_unique<TWin32AtomicFile>(targetUtf8);
}
