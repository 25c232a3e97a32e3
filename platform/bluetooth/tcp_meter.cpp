#include "platform/bluetooth/tcp_meter.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::string_view Scheme = "tcp:";
constexpr const char *Form = " (expected tcp:HOST:PORT, e.g. tcp:localhost:5000)";

TMeterAddressParse Failure(std::string error)
{
    TMeterAddressParse result;
    result.Error = std::move(error);
    return result;
}

bool ParsePort(std::string_view text, std::uint16_t &port)
{
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return false;
    unsigned value = 0;
    for (char c : text)
        value = value * 10 + static_cast<unsigned>(c - '0');
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

TMeterAddressParse ParseMeterAddress(std::string_view text)
{
    const std::string quoted = "\"" + std::string(text) + "\"";
    if (text.substr(0, Scheme.size()) != Scheme)
        return Failure("meter address " + quoted + " does not start with tcp:" + Form);
    std::string_view rest = text.substr(Scheme.size());

    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return Failure("meter address " + quoted + " has no closing ] after the IPv6 address" + Form);
        host = rest.substr(1, close - 1);
        if (close + 1 >= rest.size() || rest[close + 1] != ':')
            return Failure("meter address " + quoted + " has no port after the IPv6 address" + Form);
        port = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return Failure("meter address " + quoted + " has no port" + Form);
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return Failure("meter address " + quoted + ": write an IPv6 address in brackets, e.g. tcp:[::1]:5000");
    }
    if (host.empty())
        return Failure("meter address " + quoted + " has no host" + Form);
    if (std::any_of(host.begin(), host.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '[' || c == ']' || c == '/';
        }))
        return Failure("meter address " + quoted + " has a host with characters no host name has" + Form);

    TMeterAddressParse result;
    if (!ParsePort(port, result.Address.Port))
        return Failure("meter address " + quoted + " has no port from 1 to 65535" + Form);
    result.Address.Host = std::string(host);
    result.Ok = true;
    return result;
}

TTcpMeterDiscovery::TTcpMeterDiscovery(const TTcpMeterAddress &address, std::u16string deviceName)
    : FDeviceName(std::move(deviceName)), FDeviceAddress(TcpMeterDeviceAddress(address))
{
    // The host is ASCII or the person's own spelling: taken byte for byte.
    const std::string name = "tcp:" + address.Host + ":" + std::to_string(address.Port);
    for (const char c : name)
        FRadioName += static_cast<char16_t>(static_cast<unsigned char>(c));
}

TFindHandle TTcpMeterDiscovery::FindFirstRadio(TRadioHandle &radio)
{
    radio = &FRadio;
    return &FRadioFind;
}

bool TTcpMeterDiscovery::FindNextRadio(TFindHandle, TRadioHandle &)
{
    return false;
}

void TTcpMeterDiscovery::FindRadioClose(TFindHandle)
{
}

void TTcpMeterDiscovery::CloseRadio(TRadioHandle)
{
}

bool TTcpMeterDiscovery::GetRadioInfo(TRadioHandle, TBluetoothRadioInfo &info)
{
    info = TBluetoothRadioInfo{};
    SetBluetoothName(info.Name, FRadioName);
    return true;
}

TFindHandle TTcpMeterDiscovery::FindFirstDevice(const TDeviceSearchParams &, TBluetoothDeviceInfo &device)
{
    // No inquiry: the one device is the configured host, listed at once.
    device = TBluetoothDeviceInfo{};
    SetBluetoothName(device.Name, FDeviceName);
    device.Address = FDeviceAddress;
    return &FDeviceFind;
}

bool TTcpMeterDiscovery::FindNextDevice(TFindHandle, TBluetoothDeviceInfo &)
{
    return false;
}

void TTcpMeterDiscovery::FindDeviceClose(TFindHandle)
{
}

TTcpMeterTransport::TTcpMeterTransport(TTcpMeterAddress address, std::chrono::milliseconds connectTimeout)
    : FAddress(std::move(address)), FConnectTimeout(connectTimeout)
{
}

int TTcpMeterTransport::Startup()
{
    const int result = TcpSocket::Startup();
    if (result != 0) {
        std::lock_guard lock(FLock);
        FLastFailure = {result, false};
        FLastFailureUnresolved = false;
    }
    return result;
}

TSocketHandle TTcpMeterTransport::OpenSocket()
{
    // A name that does not resolve still gets a socket, whose Connect then
    // fails: to the link that is a meter out of reach, as on Bluetooth.
    TcpSocket::TAddress target;
    TcpSocket::Resolve(FAddress.Host, FAddress.Port, target);
    const TSocketHandle socket = TcpSocket::Open(target);
    std::lock_guard lock(FLock);
    if (socket == InvalidSocket) {
        FLastFailure = {TcpSocket::LastError(), false};
        FLastFailureUnresolved = false;
    } else {
        FTargets[socket] = target;
    }
    return socket;
}

void TTcpMeterTransport::SetReuseAddress(TSocketHandle socket)
{
    TcpSocket::SetReuseAddress(socket);
}

int TTcpMeterTransport::Connect(TSocketHandle socket, std::uint64_t, const TServiceClassId &)
{
    TcpSocket::TAddress target;
    {
        std::lock_guard lock(FLock);
        const auto found = FTargets.find(socket);
        if (found == FTargets.end())
            return -1;
        target = found->second;
    }
    TcpSocket::TFailure failure;
    const int result = target.Length == 0 ? -1 : TcpSocket::Connect(socket, target, FConnectTimeout, &failure);
    if (result != 0) {
        std::lock_guard lock(FLock);
        FLastFailure = failure;
        FLastFailureUnresolved = target.Length == 0;
    }
    return result;
}

void TTcpMeterTransport::CloseSocket(TSocketHandle socket)
{
    {
        std::lock_guard lock(FLock);
        FTargets.erase(socket);
    }
    TcpSocket::Close(socket);
}

void TTcpMeterTransport::Cleanup()
{
    TcpSocket::Cleanup();
}

std::string TTcpMeterTransport::LinkFailureText() const
{
    std::lock_guard lock(FLock);
    if (FLastFailureUnresolved)
        return "the host name \"" + FAddress.Host + "\" does not resolve";
    if (FLastFailure.TimedOut)
        return "no connection within " + std::to_string(FConnectTimeout.count()) + " ms";
    return TcpSocket::ErrorText(FLastFailure.Code);
}
