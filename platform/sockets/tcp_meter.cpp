// SPDX-License-Identifier: Apache-2.0
#include "platform/sockets/tcp_meter.h"

#include "platform/sockets/socket_stream.h"

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

TTcpMeterRoute::TTcpMeterRoute(TTcpMeterAddress address, std::chrono::milliseconds connectTimeout)
    : FAddress(std::move(address)), FConnectTimeout(connectTimeout)
{
}

TStreamOpening TTcpMeterRoute::Open(std::uint64_t)
{
    const int started = TcpSocket::Startup();
    if (started != 0)
        return {nullptr, "the sockets did not start: " + TcpSocket::ErrorText(started)};
    // The name is resolved again for every link, so that a moved host is followed.
    TcpSocket::TAddress target;
    if (!TcpSocket::Resolve(FAddress.Host, FAddress.Port, target)) {
        TcpSocket::Cleanup();
        return {nullptr, "the host name \"" + FAddress.Host + "\" does not resolve"};
    }
    const TSocketHandle socket = TcpSocket::Open(target);
    if (socket == InvalidSocket) {
        const std::string why = "no socket: " + TcpSocket::ErrorText(TcpSocket::LastError());
        TcpSocket::Cleanup();
        return {nullptr, why};
    }
    // From here the stream owns the socket and the start-up.
    auto stream = std::make_unique<TSocketStream>(socket, [](TSocketHandle connected) {
        TcpSocket::Close(connected);
        TcpSocket::Cleanup();
    });
    TcpSocket::SetReuseAddress(socket);
    TcpSocket::TFailure failure;
    if (TcpSocket::Connect(socket, target, FConnectTimeout, &failure) != 0) {
        return {nullptr, failure.TimedOut ? "no connection within " + std::to_string(FConnectTimeout.count()) + " ms"
                                          : TcpSocket::ErrorText(failure.Code)};
    }
    return {std::move(stream), {}};
}
