// SPDX-License-Identifier: Apache-2.0
// Paths longer than Windows' old limit of 260 characters, for every kind of
// file the program makes, writes and reads; and the form of a path that the
// Windows file calls are given.
#include "platform/files/atomic_file.h"
#include "platform/files/durable_append_file.h"
#include "platform/files/file_facts.h"
#include "platform/files/trace_file.h"
#include "platform/files/user_folders.h"
#include "platform/files/whole_file.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/files/long_path_win32.h"

#include <windows.h>
#endif

namespace {

// Folders nested in a scratch folder until their path has 300 characters (no
// single name may pass 255), removed with the files made by File(): the
// std::filesystem of MinGW stops at 260 characters.
struct TLongFolder {
    TLongFolder()
    {
        for (char letter = 'a'; Path.size() < 300; ++letter)
            Folders.push_back(Path = PathInFolder(Path, std::string(60, letter)));
    }
    ~TLongFolder()
    {
        for (const std::string &file : Files)
            Remove(file);
        for (auto folder = Folders.rbegin(); folder != Folders.rend(); ++folder)
            Remove(*folder);
    }
    TLongFolder(const TLongFolder &) = delete;
    TLongFolder &operator=(const TLongFolder &) = delete;

    std::string File(const std::string &name)
    {
        Files.push_back(PathInFolder(Path, name));
        return Files.back();
    }

    static void Remove(const std::string &path)
    {
#ifdef _WIN32
        const std::wstring system = SystemPath(path);
        if (!DeleteFileW(system.c_str()))
            RemoveDirectoryW(system.c_str());
#else
        std::filesystem::remove(path);
#endif
    }

    TScratchFolder Scratch{"long-path-test"};
    std::string Path = Scratch.Path().string();  // the deepest folder
    std::vector<std::string> Folders;
    std::vector<std::string> Files;
};

TEST(LongPath, FilesBelowFoldersOfThreeHundredCharactersAreMadeWrittenReplacedAndRead)
{
    TLongFolder longFolder;
    const std::string &folder = longFolder.Path;
    MakeFolders(folder);
    EXPECT_EQ(FileFactsOf(folder).Kind, TFileKind::Folder);

    const std::string journal = longFolder.File("journal.csv");
    {
        TDurableAppendFile file(journal, "Date;Moisture\r\n");
        file.Append("1.2.2026;14,5\r\n");
    }
    const std::string trace = longFolder.File("trace.txt");
    TTraceFile(trace).Write("connected");
    const std::string report = longFolder.File("report.pdf");
    for (const char *contents : {"made", "replaced"}) {
        TAtomicFile file;
        file.Open(report);
        file.Write(contents);
        file.Commit();
    }

    EXPECT_EQ(ReadWholeFile(journal), "Date;Moisture\r\n1.2.2026;14,5\r\n");
    EXPECT_EQ(ReadWholeFile(report), "replaced");
    const std::optional<std::string> traced = ReadWholeFile(trace);
    ASSERT_TRUE(traced.has_value());
    EXPECT_EQ(traced->substr(12), " connected\n");
    const TFileFacts facts = FileFactsOf(report);
    EXPECT_EQ(facts.Kind, TFileKind::Regular);
    EXPECT_EQ(facts.Size, 8u);
}

#ifdef _WIN32
TEST(LongPath, WindowsFileCallsGetTheWholePathBehindTheVerbatimPrefix)
{
    wchar_t current[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    const std::wstring here = current;
    const std::string longName(300, 'x');
    const struct {
        std::string Path;
        std::wstring System;
    } cases[] = {
        {"C:\\data\\readings.csv", L"\\\\?\\C:\\data\\readings.csv"},
        {"C:/data/./old/../readings.csv", L"\\\\?\\C:\\data\\readings.csv"},
        {"C:\\data\\readings.csv. ", L"\\\\?\\C:\\data\\readings.csv"},  // as Windows drops them
        {"C:\\data\\" + longName, L"\\\\?\\C:\\data\\" + std::wstring(longName.begin(), longName.end())},
        {"\\\\server\\share\\readings.csv", L"\\\\?\\UNC\\server\\share\\readings.csv"},
        {"//server/share/old/../readings.csv", L"\\\\?\\UNC\\server\\share\\readings.csv"},
        {"readings.csv", L"\\\\?\\" + here + (here.back() == L'\\' ? L"" : L"\\") + L"readings.csv"},
        {"\\\\?\\C:\\data/./readings.csv", L"\\\\?\\C:\\data/./readings.csv"},  // the caller's own
        {"\\\\.\\COM5", L"\\\\.\\COM5"},
        {"COM5", L"\\\\.\\COM5"},
        {"NUL", L"\\\\.\\NUL"},
        {"", L""},
        {"C:\\Acc\xE8s", L""},  // not UTF-8
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(SystemPath(c.Path), c.System);
    }
}

TEST(LongPath, DeviceNamesAreNoFiles)
{
    for (const char *device : {"NUL", "\\\\.\\NUL"})
        EXPECT_EQ(FileFactsOf(device).Kind, TFileKind::Other) << device;
}
#endif

} // namespace
