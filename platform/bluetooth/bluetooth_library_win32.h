// SPDX-License-Identifier: Apache-2.0
// The Windows Bluetooth API, taken from its library when the program first
// looks for a radio. Some Windows editions (servers among them) come without
// the library; bound at link time, the program would not even start there,
// not even to show the simulated meter or a meter behind a TCP bridge.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <bluetoothapis.h>

class TBluetoothLibrary {
public:
    // Loads the library; a missing library, or one that lacks any of the
    // calls, leaves Loaded() false and every call null.
    explicit TBluetoothLibrary(const wchar_t *fileName);
    ~TBluetoothLibrary();
    TBluetoothLibrary(const TBluetoothLibrary &) = delete;
    TBluetoothLibrary &operator=(const TBluetoothLibrary &) = delete;

    bool Loaded() const { return FModule != nullptr; }

    decltype(&BluetoothFindFirstRadio) FindFirstRadio = nullptr;
    decltype(&BluetoothFindNextRadio) FindNextRadio = nullptr;
    decltype(&BluetoothFindRadioClose) FindRadioClose = nullptr;
    decltype(&BluetoothFindFirstDevice) FindFirstDevice = nullptr;
    decltype(&BluetoothFindNextDevice) FindNextDevice = nullptr;
    decltype(&BluetoothFindDeviceClose) FindDeviceClose = nullptr;
    decltype(&BluetoothGetRadioInfo) GetRadioInfo = nullptr;

private:
    HMODULE FModule = nullptr;
};

// The file the system keeps the Bluetooth API in.
inline constexpr wchar_t SystemBluetoothLibraryName[] = L"bthprops.cpl";

// The system's library, loaded at the first call and kept until the process
// ends: one load, however often discovery runs.
const TBluetoothLibrary &SystemBluetoothLibrary();
