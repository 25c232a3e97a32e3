#include "platform/durable_append_file.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include "platform/win32/durable_append_handle.h"

#include <windows.h>
#include <winternl.h>
#endif

namespace fs = std::filesystem;

namespace {

TEST(DurableAppendFile, EachPieceFollowsTheLastAndCanBeReadAtOnce)
{
    TScratchFolder folder("append-file-test");
    const std::string path = folder.File("log.csv");
    TDurableAppendFile file(path);
    const char *const pieces[] = {"Date;Moisture\r\n", "", "1.2.2026;14,5\r\n", "2.2.2026;13,9\r\n"};
    std::string expected;
    for (const char *piece : pieces) {
        file.Append(piece);
        expected += piece;
        // Another program (a spreadsheet, tail) reads the log while it grows.
        EXPECT_EQ(FileContents(path), expected);
    }
    EXPECT_EQ(file.Path(), path);
}

TEST(DurableAppendFile, AnExistingFileOrAMissingFolderIsRefusedAndNothingIsLost)
{
    const struct {
        const char *Name;
        const char *File;
        const char *Existing;  // null: none
    } cases[] = {
        {"earlier log", "log.csv", "earlier readings\r\n"},
        {"empty file", "empty.csv", ""},
        {"missing folder", "no such folder/log.csv", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TScratchFolder folder("append-file-test");
        const std::string path = folder.File(c.File);
        if (c.Existing != nullptr)
            std::ofstream(path, std::ios::binary) << c.Existing;

        try {
            TDurableAppendFile file(path);
            ADD_FAILURE() << "opened " << path;
        } catch (const EFileError &error) {
            const std::string text = error.what();
            const std::string prefix = "Cannot create file \"" + path + "\". ";
            EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
            EXPECT_GT(text.size(), prefix.size()) << "the platform's cause is missing: " << text;
        }

        if (c.Existing != nullptr)
            EXPECT_EQ(FileContents(path), c.Existing);
        else
            EXPECT_FALSE(fs::exists(path));
    }
}

#ifdef _WIN32
// Wine flushes any handle; Windows refuses FlushFileBuffers on one opened
// with appending access alone. So ask the system what the handle may do.
TEST(DurableAppendFile, HandleHasTheWriteAccessFlushingNeedsAndKeepsOtherWritersOut)
{
    using TQueryObject = LONG(NTAPI *)(HANDLE, OBJECT_INFORMATION_CLASS, void *, ULONG, ULONG *);
    const auto queryObject = reinterpret_cast<TQueryObject>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    ASSERT_NE(queryObject, nullptr);

    TScratchFolder folder("append-file-test");
    const std::string path = folder.File("log.csv");
    const std::wstring widePath = fs::path(path).wstring();
    const HANDLE handle = CreateDurableAppendHandle(widePath);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);

    PUBLIC_OBJECT_BASIC_INFORMATION info{};
    ULONG length = 0;
    EXPECT_EQ(queryObject(handle, ObjectBasicInformation, &info, sizeof info, &length), 0);
    EXPECT_EQ(info.GrantedAccess & FILE_GENERIC_WRITE, static_cast<ACCESS_MASK>(FILE_GENERIC_WRITE))
        << std::hex << info.GrantedAccess;
    EXPECT_TRUE(FlushFileBuffers(handle));

    const HANDLE writer = CreateFileW(widePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    CloseHandle(handle);
}
#endif

} // namespace
