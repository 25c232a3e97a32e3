// SPDX-License-Identifier: Apache-2.0
// The parts of the local sockets that are the same on every system: they run
// on the TCP sockets of platform/sockets/tcp_socket.h and its one name resolution.
#include "sim/local_sockets.h"

#include "platform/sockets/tcp_socket.h"

#include <chrono>

namespace {

// Loopback answers at once; a host that does not is given as long as the
// TCP meter gives one.
constexpr std::chrono::seconds ConnectTimeout{10};

}  // namespace

bool StartLocalSockets()
{
    static const bool started = TcpSocket::Startup() == 0;
    return started;
}

void CloseSocketHandle(TSocketHandle socket)
{
    if (socket != InvalidSocket)
        TcpSocket::Close(socket);
}

TSocketHandle ConnectTcp(const std::string &host, std::uint16_t port, std::string &error)
{
    const std::string target = host + ":" + std::to_string(port);
    if (!StartLocalSockets()) {
        error = "cannot connect to " + target + ": the sockets did not start";
        return InvalidSocket;
    }
    TcpSocket::TAddress address;
    if (!TcpSocket::Resolve(host, port, address)) {
        error = "cannot resolve " + host;
        return InvalidSocket;
    }
    TOwnedSocket socket(TcpSocket::Open(address));
    if (!socket.Valid()) {
        error = "cannot create a socket for " + target + ": " + TcpSocket::ErrorText(TcpSocket::LastError());
        return InvalidSocket;
    }
    TcpSocket::TFailure failure;
    if (TcpSocket::Connect(socket.Get(), address, ConnectTimeout, &failure) != 0) {
        error = "cannot connect to " + target + ": " +
                (failure.TimedOut ? std::string("no answer") : TcpSocket::ErrorText(failure.Code));
        return InvalidSocket;
    }
    error.clear();
    return socket.Release();
}
