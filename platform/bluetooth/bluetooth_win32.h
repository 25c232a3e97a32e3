// SPDX-License-Identifier: Apache-2.0
// Bluetooth on Windows: the Win32 Bluetooth API for radios and devices, and
// Winsock 2.2 RFCOMM sockets (AF_BTH) for the link.
#pragma once

#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/streams/byte_stream.h"

class TBluetoothLibrary;

// Without the system's Bluetooth library every radio search finds no radio,
// exactly as on a machine whose library finds none.
class TWin32Bluetooth : public IBluetoothDiscovery, public IMeterRoute {
public:
    // The system's Bluetooth library, loaded at the first radio search.
    TWin32Bluetooth() = default;
    // Another library (tests: one that is missing); it outlives this object.
    explicit TWin32Bluetooth(const TBluetoothLibrary &library) : FLibrary(&library) {}

    TFindHandle FindFirstRadio(TRadioHandle &radio) override;
    bool FindNextRadio(TFindHandle find, TRadioHandle &radio) override;
    void FindRadioClose(TFindHandle find) override;
    void CloseRadio(TRadioHandle radio) override;
    bool GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info) override;
    TFindHandle FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device) override;
    bool FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device) override;
    void FindDeviceClose(TFindHandle find) override;

    // A Winsock RFCOMM socket connected to the serial port service of the
    // device at `address`; the stream holds the Winsock start-up too.
    TStreamOpening Open(std::uint64_t address) override;

private:
    const TBluetoothLibrary &Library() const;

    const TBluetoothLibrary *FLibrary = nullptr;  // null: the system's
};
