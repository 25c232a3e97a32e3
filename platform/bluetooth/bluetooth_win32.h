// Bluetooth on Windows: the Win32 Bluetooth API for radios and devices, and
// Winsock 2.2 RFCOMM sockets (AF_BTH) for the link.
#pragma once

#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/bluetooth/bluetooth_transport.h"

class TBluetoothLibrary;

// Without the system's Bluetooth library every radio search finds no radio,
// exactly as on a machine whose library finds none.
class TWin32Bluetooth : public IBluetoothDiscovery, public IBluetoothTransport {
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

    int Startup() override;
    TSocketHandle OpenSocket() override;
    void SetReuseAddress(TSocketHandle socket) override;
    int Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &serviceClass) override;
    void CloseSocket(TSocketHandle socket) override;
    void Cleanup() override;
    std::string LinkFailureText() const override;

private:
    const TBluetoothLibrary &Library() const;

    const TBluetoothLibrary *FLibrary = nullptr;  // null: the system's
    unsigned long FLastFailure = 0;  // the Winsock error of the last failed link step
};
