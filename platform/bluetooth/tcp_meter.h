// A meter reached over TCP instead of Bluetooth (for instance the simulator's
// listening port, or a serial-to-network bridge): `--meter tcp:HOST:PORT`.
// Discovery finds one radio, named after the address, that lists the meter at
// once; the link is a TCP connection to HOST:PORT, over which the exchange
// runs unchanged.
#pragma once

#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/bluetooth/bluetooth_transport.h"
#include "platform/sockets/tcp_socket.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

struct TTcpMeterAddress {
    std::string Host;
    std::uint16_t Port = 0;
};

struct TMeterAddressParse {
    bool Ok = false;
    TTcpMeterAddress Address;
    std::string Error;  // what is wrong, for the person who typed it
    explicit operator bool() const { return Ok; }
};

// "tcp:HOST:PORT", HOST a name, an IPv4 address or a bracketed IPv6 address
// ("tcp:[::1]:5000"), PORT 1 to 65535 in decimal.
TMeterAddressParse ParseMeterAddress(std::string_view text);

// The address the meter is listed under: the port in the low bits, so that two
// meters on one host differ.
inline std::uint64_t TcpMeterDeviceAddress(const TTcpMeterAddress &address)
{
    return address.Port;
}

// One radio, "tcp:HOST:PORT", whose search lists one device, the meter, at
// once: there is nothing to inquire. The handles are this object's own.
class TTcpMeterDiscovery : public IBluetoothDiscovery {
public:
    // deviceName: the name the one device is listed under, the meter's own, so
    // that discovery takes it.
    TTcpMeterDiscovery(const TTcpMeterAddress &address, std::u16string deviceName);

    TFindHandle FindFirstRadio(TRadioHandle &radio) override;
    bool FindNextRadio(TFindHandle find, TRadioHandle &radio) override;
    void FindRadioClose(TFindHandle find) override;
    void CloseRadio(TRadioHandle radio) override;
    bool GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info) override;
    TFindHandle FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device) override;
    bool FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device) override;
    void FindDeviceClose(TFindHandle find) override;

private:
    std::u16string FRadioName;
    std::u16string FDeviceName;
    std::uint64_t FDeviceAddress;
    // What the handles point at: one radio-find, one radio, one device-find.
    char FRadioFind = 0, FRadio = 0, FDeviceFind = 0;
};

// The link: a TCP connection to HOST:PORT, whatever address discovery found.
class TTcpMeterTransport : public IBluetoothTransport {
public:
    // A connection attempt gives up after connectTimeout, about as long as a
    // Bluetooth page to a meter out of reach.
    explicit TTcpMeterTransport(TTcpMeterAddress address,
                                std::chrono::milliseconds connectTimeout = std::chrono::seconds(10));

    int Startup() override;
    TSocketHandle OpenSocket() override;
    void SetReuseAddress(TSocketHandle socket) override;
    int Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &serviceClass) override;
    void CloseSocket(TSocketHandle socket) override;
    void Cleanup() override;
    std::string LinkFailureText() const override;

private:
    TTcpMeterAddress FAddress;
    std::chrono::milliseconds FConnectTimeout;
    // Each socket's target, resolved when the socket is made (that picks its
    // family); the name is resolved again for every link so a moved host is followed.
    mutable std::mutex FLock;
    std::unordered_map<TSocketHandle, TcpSocket::TAddress> FTargets;
    // Why the last Startup, OpenSocket or Connect failed.
    TcpSocket::TFailure FLastFailure;
    bool FLastFailureUnresolved = false;
};
