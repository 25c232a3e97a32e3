// SPDX-License-Identifier: Apache-2.0
// Local sockets on Windows (Winsock 2.2).
#include "sim/local_sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace {

std::string ErrorText(const std::string &what)
{
    return what + " (Winsock error " + std::to_string(WSAGetLastError()) + ")";
}

}  // namespace

void ShutdownSocket(TSocketHandle socket, TShutdownHow how)
{
    const int mode = how == TShutdownHow::Receive ? SD_RECEIVE : how == TShutdownHow::Send ? SD_SEND : SD_BOTH;
    shutdown(static_cast<SOCKET>(socket), mode);
}

bool CreateSocketPair(TSocketHandle &first, TSocketHandle &second)
{
    std::uint16_t port = 0;
    std::string error;
    TOwnedSocket listener(ListenLoopback(0, port, error));
    if (!listener.Valid())
        return false;
    TOwnedSocket client(ConnectTcp("127.0.0.1", port, error));
    if (!client.Valid())
        return false;
    TOwnedSocket server(AcceptConnection(listener.Get()));
    if (!server.Valid())
        return false;
    first = client.Release();
    second = server.Release();
    return true;
}

TSocketHandle ListenLoopback(std::uint16_t port, std::uint16_t &boundPort, std::string &error)
{
    if (!StartLocalSockets()) {
        error = "cannot start Winsock";
        return InvalidSocket;
    }
    TOwnedSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener.Valid()) {
        error = ErrorText("cannot create a socket");
        return InvalidSocket;
    }
    // Without exclusive use another program could take over the port.
    BOOL on = TRUE;
    setsockopt(static_cast<SOCKET>(listener.Get()), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char *>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(static_cast<SOCKET>(listener.Get()), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        error = ErrorText("cannot bind 127.0.0.1:" + std::to_string(port));
        return InvalidSocket;
    }
    if (listen(static_cast<SOCKET>(listener.Get()), 16) != 0) {
        error = ErrorText("cannot listen");
        return InvalidSocket;
    }
    int length = sizeof address;
    getsockname(static_cast<SOCKET>(listener.Get()), reinterpret_cast<sockaddr *>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return listener.Release();
}

TSocketHandle AcceptConnection(TSocketHandle listener)
{
    const SOCKET connection = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    if (connection == INVALID_SOCKET)
        return InvalidSocket;
    BOOL on = TRUE;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
    return static_cast<TSocketHandle>(connection);
}
