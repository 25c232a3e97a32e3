// SPDX-License-Identifier: Apache-2.0
#include "platform/files/durable_append_file.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tiny_disk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/files/durable_append_handle_win32.h"

#include <windows.h>
#include <winternl.h>
#endif

namespace fs = std::filesystem;

namespace {

TEST(DurableAppendFile, EachPieceFollowsTheLastAndCanBeReadAtOnce)
{
    TScratchFolder folder("append-file-test");
    const std::string path = folder.File("log.csv");
    TDurableAppendFile file(path, "Date;Moisture\r\n");
    std::string expected = "Date;Moisture\r\n";
    EXPECT_EQ(FileContents(path), expected);
    for (const char *piece : {"", "1.2.2026;14,5\r\n", "2.2.2026;13,9\r\n"}) {
        file.Append(piece);
        expected += piece;
        // Another program (a spreadsheet, tail) reads the log while it grows.
        EXPECT_EQ(FileContents(path), expected);
    }
    EXPECT_EQ(file.Size(), expected.size());
    // The first piece went through a temporary file, which is gone.
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"log.csv"});
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
            TDurableAppendFile file(path, "header\r\n");
            ADD_FAILURE() << "opened " << path;
        } catch (const EFileError &error) {
            // A taken name is told apart, so that a caller can pick another.
            EXPECT_EQ(dynamic_cast<const EFileExists *>(&error) != nullptr, c.Existing != nullptr);
            const std::string text = error.what();
            const std::string prefix = "Cannot create file \"" + path + "\". ";
            EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
            EXPECT_GT(text.size(), prefix.size()) << "the platform's cause is missing: " << text;
        }

        if (c.Existing != nullptr) {
            EXPECT_EQ(FileContents(path), c.Existing);
            // The temporary file that held the first piece is gone again.
            EXPECT_EQ(folder.Names(), std::vector<std::string>{fs::path(path).filename().string()});
        } else {
            EXPECT_FALSE(fs::exists(path));
        }
    }
}

TEST(DurableAppendFile, RemoveDeletesItsOwnFileOnlyOnce)
{
    TScratchFolder folder("append-file-test");
    const std::string path = folder.File("log.csv");
    TDurableAppendFile file(path, "header\r\n");
    file.Remove();
    EXPECT_TRUE(folder.Names().empty());
    WriteFileContents(path, "another program's file");
    file.Remove();
    EXPECT_EQ(FileContents(path), "another program's file");
    EXPECT_THROW(file.Append("late\r\n"), EFileError);
}

class DurableAppendFileOnATinyDisk : public TinyDiskTest {};

TEST_F(DurableAppendFileOnATinyDisk, FullDiskCutsTheFailedPieceOffAndLaterPiecesFollowTheLastWholeOne)
{
    disk.FillLeaving(1);
    const std::string path = (folder.Path() / "disk" / "log.csv").string();
    TDurableAppendFile file(path, "");

    // Pieces that do not divide the page: the one that fills it fails half-way.
    const std::string piece(1000, 'r');
    std::string whole;
    bool failed = false;
    for (int i = 0; i < 10 && !failed; ++i) {
        try {
            file.Append(piece);
            whole += piece;
        } catch (const EFileError &error) {
            failed = true;
            EXPECT_EQ(std::string(error.what()).rfind("Cannot write file \"" + path + "\". ", 0), 0u) << error.what();
        }
    }
    ASSERT_TRUE(failed) << "the disk never filled";
    EXPECT_EQ(FileContents(path), whole);
    EXPECT_EQ(file.Size(), whole.size());

    // Room again: the next piece follows the last whole one, with no gap.
    fs::remove(folder.Path() / "disk" / ".filler");
    file.Append("next\r\n");
    EXPECT_EQ(FileContents(path), whole + "next\r\n");
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
