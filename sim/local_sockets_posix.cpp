// SPDX-License-Identifier: Apache-2.0
// Local sockets on POSIX systems.
#include "sim/local_sockets.h"

#include <cerrno>
#include <cstring>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

void ShutdownSocket(TSocketHandle socket, TShutdownHow how)
{
    const int mode = how == TShutdownHow::Receive ? SHUT_RD : how == TShutdownHow::Send ? SHUT_WR : SHUT_RDWR;
    shutdown(socket, mode);
}

bool CreateSocketPair(TSocketHandle &first, TSocketHandle &second)
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    first = ends[0];
    second = ends[1];
    return true;
}

TSocketHandle ListenLoopback(std::uint16_t port, std::uint16_t &boundPort, std::string &error)
{
    TOwnedSocket listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener.Valid()) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return InvalidSocket;
    }
    int on = 1;
    setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(listener.Get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        error = "cannot bind 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return InvalidSocket;
    }
    if (listen(listener.Get(), 16) != 0) {
        error = std::string("cannot listen: ") + std::strerror(errno);
        return InvalidSocket;
    }
    socklen_t length = sizeof address;
    getsockname(listener.Get(), reinterpret_cast<sockaddr *>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return listener.Release();
}

TSocketHandle AcceptConnection(TSocketHandle listener)
{
    int connection;
    do {
        connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    } while (connection < 0 && errno == EINTR);
    if (connection < 0)
        return InvalidSocket;
    int on = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return connection;
}
