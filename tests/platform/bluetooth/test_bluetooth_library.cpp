// SPDX-License-Identifier: Apache-2.0
// The Windows Bluetooth API taken from its library at run time.
#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/bluetooth/bluetooth_library_win32.h"
#include "platform/bluetooth/bluetooth_win32.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

// The libraries this program binds at link time, in lower case: the system
// loads each before the program's first instruction, and a missing one stops
// the start with a box about a missing file.
std::vector<std::string> LinkTimeLibraries()
{
    const auto *base = reinterpret_cast<const unsigned char *>(GetModuleHandleW(nullptr));
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    for (auto *entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); entry->Name != 0;
         ++entry) {
        std::string name = reinterpret_cast<const char *>(base + entry->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        names.push_back(name);
    }
    return names;
}

TEST(BluetoothLibrary, TheProgramStartsWithoutTheBluetoothLibrary)
{
    // This program holds the Windows backend: the test below uses it.
    const std::vector<std::string> libraries = LinkTimeLibraries();
    ASSERT_NE(std::find(libraries.begin(), libraries.end(), "kernel32.dll"), libraries.end())
        << "the import table was not read";
    for (const char *bluetooth : {"bthprops.cpl", "bluetoothapis.dll"})
        EXPECT_EQ(std::find(libraries.begin(), libraries.end(), bluetooth), libraries.end()) << bluetooth;
}

TEST(BluetoothLibrary, TheSystemLibraryHasEveryCallDiscoveryUses)
{
    const TBluetoothLibrary &library = SystemBluetoothLibrary();
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring file = std::wstring(system) + L"\\" + SystemBluetoothLibraryName;
    if (!library.Loaded() && GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this Windows has no Bluetooth library";
    ASSERT_TRUE(library.Loaded());
    EXPECT_NE(library.FindFirstRadio, nullptr);
    EXPECT_NE(library.FindNextRadio, nullptr);
    EXPECT_NE(library.FindRadioClose, nullptr);
    EXPECT_NE(library.FindFirstDevice, nullptr);
    EXPECT_NE(library.FindNextDevice, nullptr);
    EXPECT_NE(library.FindDeviceClose, nullptr);
    EXPECT_EQ(&SystemBluetoothLibrary(), &library) << "loaded once for the process";
}

TEST(BluetoothLibrary, AMissingOrForeignLibraryMeansNoRadioAndNoDevice)
{
    // A library of another purpose has none of the calls: taken for the
    // Bluetooth API it would be called through null.
    for (const wchar_t *name : {L"no-such-bluetooth-library.cpl", L"version.dll"}) {
        SCOPED_TRACE(testing::Message() << (name[0] == L'n' ? "missing" : "foreign"));
        const TBluetoothLibrary library(name);
        EXPECT_FALSE(library.Loaded());
        EXPECT_EQ(library.FindFirstRadio, nullptr);

        TWin32Bluetooth platform(library);
        TRadioHandle radio = reinterpret_cast<TRadioHandle>(1);
        EXPECT_EQ(platform.FindFirstRadio(radio), nullptr);
        EXPECT_EQ(radio, nullptr);
        TBluetoothDeviceInfo device;
        EXPECT_EQ(platform.FindFirstDevice(TDeviceSearchParams{}, device), nullptr);
    }
}

} // namespace
#else
TEST(BluetoothLibrary, TheProgramStartsWithoutTheBluetoothLibrary)
{
    GTEST_SKIP() << "the Windows Bluetooth API exists on Windows only";
}
#endif
