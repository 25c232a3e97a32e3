// The platform's Bluetooth radio and device enumeration and its RFCOMM sockets,
// call for call as discovery and link use them. Backends: win32/ (the Windows
// Bluetooth API and Winsock), bluez/ (BlueZ over D-Bus and kernel RFCOMM
// sockets), sim/ (scripted radios and the simulated meter) and a TCP transport.
// Every handle a backend hands out is released through the matching close call.
#pragma once

#include "platform/socket_handle.h"

#include <array>
#include <cstdint>
#include <string>

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

// "AA:BB:CC:DD:EE:FF": the six address bytes, the most significant first, as
// every platform writes a Bluetooth address for people.
inline std::string BluetoothAddressText(std::uint64_t address)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 40; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned>((address >> shift) & 0xFF);
        if (!text.empty())
            text += ':';
        text += Digits[byte >> 4];
        text += Digits[byte & 0xF];
    }
    return text;
}

// A service class identifier in the platform's GUID byte layout.
using TServiceClassId = std::array<std::uint8_t, 16>;

class IBluetoothPlatform {
public:
    virtual ~IBluetoothPlatform() = default;

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

    // Sockets. Startup returns 0 on success; OpenSocket returns InvalidSocket on
    // failure; Connect returns -1 on failure and blocks until it has an answer.
    virtual int Startup() = 0;
    virtual TSocketHandle OpenSocket() = 0;
    virtual void SetReuseAddress(TSocketHandle socket) = 0;
    virtual int Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &serviceClass) = 0;
    virtual void CloseSocket(TSocketHandle socket) = 0;
    virtual void Cleanup() = 0;

    // The platform's own words for why the last Startup, OpenSocket or Connect
    // failed. Discovery and link never look at it (their failures are
    // silent); only the trace reads it, right after the failure.
    virtual std::string LinkFailureText() const = 0;
};
