// The form of a path that the Windows file calls are given.
#include "platform/files/file_facts.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include "platform/files/long_path_win32.h"

#include <windows.h>
#endif

namespace {

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
