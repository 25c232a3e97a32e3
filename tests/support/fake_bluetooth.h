// A scripted, counting discovery and transport for tests of discovery and the link:
// it logs every call with the handle it concerns, hands out handles that only
// it can tell apart, and notes every use of a handle that is not open.
#pragma once

#include "platform/bluetooth_discovery.h"
#include "platform/bluetooth_transport.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct TFakeDevice {
    std::u16string Name;
    std::uint64_t Address = 0;
    bool Remembered = false;
    bool Authenticated = false;
};

class TFakeBluetooth : public IBluetoothDiscovery, public IBluetoothTransport {
public:
    // One entry per radio, each the devices its search lists, in order.
    std::vector<std::vector<TFakeDevice>> Radios;

    // Socket script.
    int StartupResult = 0;
    bool SocketFails = false;
    bool ConnectFails = false;
    static constexpr TSocketHandle FakeSocket = 7;
    // What LinkFailureText says.
    std::string FailureText = "the fake refused";
    // Radio n is named "radio n" and has the address RadioAddress + n.
    static constexpr std::uint64_t RadioAddress = 0x00AA00000000ull;

    // What happened: calls such as "FindFirstDevice radio1", "CloseRadio radio1".
    std::vector<std::string> Calls;
    // Uses of a handle that was never handed out or is already closed.
    std::vector<std::string> Misuses;
    std::vector<TDeviceSearchParams> SearchParams;
    std::uint64_t ConnectAddress = 0;
    TServiceClassId ConnectServiceClass{};

    int OpenHandleCount() const { return static_cast<int>(FOpen.size()); }
    int OpenSocketCount() const { return FSocketsOpen; }
    int OutstandingStartups() const { return FStartups; }
    int CallCount(const std::string &prefix) const;

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
    // Handles are addresses of these tokens: one radio-find handle, and per
    // radio one radio handle and one device-find handle.
    struct TToken {
        std::string Name;
        std::size_t Radio = 0;
    };
    TToken FRadioFind{"radios"};
    std::vector<TToken> FRadioTokens;
    std::vector<TToken> FDeviceFindTokens;
    std::set<const void *> FOpen;
    std::size_t FNextRadio = 0;
    std::vector<std::size_t> FNextDevice;
    int FSocketsOpen = 0;
    int FStartups = 0;

    void PrepareTokens();
    TToken *Lookup(const void *handle);
    void Release(const char *call, const void *handle);
    static void Fill(const TFakeDevice &source, TBluetoothDeviceInfo &device);
};
