// A meter reached over TCP instead of Bluetooth (for instance the simulator's
// listening port, or a serial-to-network bridge): `--meter tcp:HOST:PORT`.
// Discovery finds one radio that lists the meter at once; the link is a TCP
// connection to HOST:PORT, over which the exchange runs unchanged.
#pragma once

#include "platform/bluetooth_platform.h"

#include <array>
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

// The operating system's TCP sockets, one backend file per system.
namespace TcpSocket {

// Why a TCP step failed, for the trace: the system's error code (errno, or
// Winsock's), or that the connection was not made within its time.
struct TFailure {
    int Code = 0;
    bool TimedOut = false;
};

// The system's words for an error code of TFailure.
std::string ErrorText(int code);
// The error of the calling thread's last failed socket call.
int LastError();

// A resolved socket address in the system's own layout.
struct TAddress {
    std::array<unsigned char, 128> Bytes{};
    std::uint32_t Length = 0;  // 0: not resolved
    int Family = 0;
};

// Winsock start-up and clean-up on Windows; nothing elsewhere. 0 on success.
int Startup();
void Cleanup();

// The first IPv4 address of host:port, else the first address of any family.
// False when the name cannot be resolved.
bool Resolve(const std::string &host, std::uint16_t port, TAddress &address);

// A stream socket for the address's family (IPv4 for an unresolved address),
// or InvalidSocket.
TSocketHandle Open(const TAddress &address);
void SetReuseAddress(TSocketHandle socket);
// 0 once connected; -1 when refused, unreachable, unresolved or not connected
// within the timeout, with the cause in `failure` when one is given. The
// socket stays blocking.
int Connect(TSocketHandle socket, const TAddress &address, std::chrono::milliseconds timeout,
            TFailure *failure = nullptr);
void Close(TSocketHandle socket);

}  // namespace TcpSocket

class TTcpMeterPlatform : public IBluetoothPlatform {
public:
    // deviceName: the name the one device is listed under, the meter's own, so
    // that discovery takes it. A connection attempt gives up after connectTimeout,
    // about as long as a Bluetooth page to a meter out of reach.
    TTcpMeterPlatform(TTcpMeterAddress address, std::u16string deviceName,
                      std::chrono::milliseconds connectTimeout = std::chrono::seconds(10));

    TFindHandle FindFirstRadio(TRadioHandle &radio) override;
    bool FindNextRadio(TFindHandle find, TRadioHandle &radio) override;
    void FindRadioClose(TFindHandle find) override;
    void CloseRadio(TRadioHandle radio) override;
    // The one radio is named after the address, "tcp:HOST:PORT".
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

    // The address listed for the meter: the port in the low bits, so that two
    // meters on one host differ.
    std::uint64_t DeviceAddress() const { return FAddress.Port; }

private:
    TTcpMeterAddress FAddress;
    std::u16string FDeviceName;
    std::chrono::milliseconds FConnectTimeout;
    // The handles discovery sees; their addresses are all that matters.
    char FRadioFind = 0, FRadio = 0, FDeviceFind = 0;
    // Each socket's target, resolved when the socket is made (that picks its
    // family); the name is resolved again for every link so a moved host is followed.
    mutable std::mutex FLock;
    std::unordered_map<TSocketHandle, TcpSocket::TAddress> FTargets;
    // Why the last Startup, OpenSocket or Connect failed.
    TcpSocket::TFailure FLastFailure;
    bool FLastFailureUnresolved = false;
};
