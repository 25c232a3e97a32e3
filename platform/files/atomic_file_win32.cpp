#include "platform/files/atomic_file_system.h"
#include "platform/files/long_path_win32.h"
#include "platform/files/momentary_retry.h"
#include "platform/files/temporary_name.h"
#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <atomic>
#include <string>

#include <windows.h>

namespace {

std::wstring FolderOf(const std::wstring &path)
{
    const auto separator = path.find_last_of(L"\\/:");
    if (separator == std::wstring::npos)
        return std::wstring();
    return path.substr(0, separator + 1);
}

// Beside the target, so that the rename stays on one volume; the name's
// length counts on the path the system is given.
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
        FTemporary = TemporaryPathFor(FTarget);
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

    unsigned long Flush() override { return FlushFileBuffers(FHandle) ? 0 : GetLastError(); }

    unsigned long Close() override
    {
        const HANDLE handle = FHandle;
        FHandle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) ? 0 : GetLastError();
    }

    unsigned long MoveIntoPlace(TReplace replace) override
    {
        // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
        const DWORD flags = (replace == TReplace::Existing ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH;
        const unsigned long moved = RetryMomentaryFailure(
            [this, flags] { return Outcome(MoveFileExW(FTemporary.c_str(), FTarget.c_str(), flags)); },
            IsMomentaryHold);
        if (moved == 0)
            FTemporary.clear();
        return moved;
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
    std::wstring FTemporary;
    std::wstring FTemporaryShown;
    HANDLE FHandle = INVALID_HANDLE_VALUE;
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
