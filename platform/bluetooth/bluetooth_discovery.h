// SPDX-License-Identifier: Apache-2.0
// The platform's Bluetooth radios and the devices each lists, call for call as
// discovery and the scan use them. Backends: bluetooth_win32 (the Windows
// Bluetooth API), bluetooth_bluez (BlueZ over D-Bus), sim/ (scripted radios) and the one device
// of a meter reached over TCP. Every handle a backend hands out is released
// through the matching close call.
#pragma once

#include "platform/bluetooth/bluetooth_address.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using TFindHandle = void *;   // a radio-find or device-find handle; null when none
using TRadioHandle = void *;  // one radio

// What the device search asks the platform for (the fields of the platform's
// device search record that discovery fills).
struct TDeviceSearchParams {
    bool ReturnAuthenticated = false;
    bool ReturnRemembered = true;
    bool ReturnUnknown = true;
    bool ReturnConnected = false;
    bool IssueInquiry = true;
    std::uint8_t TimeoutMultiplier = 3;  // in units of 1.28 s
    TRadioHandle Radio = nullptr;
};

// One device as the platform lists it.
struct TBluetoothDeviceInfo {
    std::array<char16_t, 248> Name{};  // UTF-16, zero-terminated
    std::uint64_t Address = 0;         // the six address bytes in the low 48 bits
    bool Remembered = false;           // known to the computer before this search
    bool Authenticated = false;        // paired with the computer
};

// One radio: what the platform calls it and its own address.
struct TBluetoothRadioInfo {
    std::array<char16_t, 248> Name{};  // UTF-16, zero-terminated
    std::uint64_t Address = 0;
};

// Puts `name` into a platform's name field, cut short where it does not fit
// with its terminating zero.
inline void SetBluetoothName(std::array<char16_t, 248> &field, std::u16string_view name)
{
    field.fill(u'\0');
    std::copy_n(name.begin(), std::min(name.size(), field.size() - 1), field.begin());
}

class IBluetoothDiscovery {
public:
    virtual ~IBluetoothDiscovery() = default;

    // Radios. FindFirstRadio returns the radio-find handle and the first radio,
    // or null when no radio can be used.
    virtual TFindHandle FindFirstRadio(TRadioHandle &radio) = 0;
    virtual bool FindNextRadio(TFindHandle find, TRadioHandle &radio) = 0;
    virtual void FindRadioClose(TFindHandle find) = 0;
    virtual void CloseRadio(TRadioHandle radio) = 0;
    // The radio's name and address; false when the platform cannot tell.
    // Discovery never asks: only the scan shows it.
    virtual bool GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info) = 0;

    // Devices of one radio. FindFirstDevice returns the device-find handle with
    // the first device filled in, or null when the search finds no device.
    virtual TFindHandle FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device) = 0;
    virtual bool FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device) = 0;
    virtual void FindDeviceClose(TFindHandle find) = 0;
};
