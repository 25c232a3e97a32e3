// Bluetooth on Windows: the Win32 Bluetooth API for radios and devices, and
// Winsock 2.2 RFCOMM sockets (AF_BTH) for the link.
#pragma once

#include "platform/bluetooth_platform.h"

class TWin32Bluetooth : public IBluetoothPlatform {
public:
    TFindHandle FindFirstRadio(TRadioHandle &radio) override;
    bool FindNextRadio(TFindHandle find, TRadioHandle &radio) override;
    void FindRadioClose(TFindHandle find) override;
    void CloseRadio(TRadioHandle radio) override;
    TFindHandle FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device) override;
    bool FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device) override;
    void FindDeviceClose(TFindHandle find) override;

    int Startup() override;
    TSocketHandle OpenSocket() override;
    void SetReuseAddress(TSocketHandle socket) override;
    int Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &serviceClass) override;
    void CloseSocket(TSocketHandle socket) override;
    void Cleanup() override;
};
