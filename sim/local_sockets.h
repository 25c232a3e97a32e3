// SPDX-License-Identifier: Apache-2.0
// Sockets whose both ends are on this computer, for the simulated meter, the
// tools and the tests: connected pairs, a loopback listener, a TCP connection
// to a host and port, and the one owner of a socket. The program's own link
// never needs them: it takes its sockets from a Bluetooth transport.
//
// The system-specific parts: local_sockets_posix.cpp and
// local_sockets_win32.cpp beside this file.
#pragma once

#include "platform/sockets/socket_handle.h"

#include <cstdint>
#include <string>
#include <utility>

// Starts the system's sockets once for the life of the process (Winsock on
// Windows, which counts its start-ups); false when they cannot start.
bool StartLocalSockets();

void CloseSocketHandle(TSocketHandle socket);

enum class TShutdownHow { Receive, Send, Both };
void ShutdownSocket(TSocketHandle socket, TShutdownHow how);

// Two connected stream sockets: a socketpair on POSIX, a loopback TCP pair on
// Windows (which has no socketpair). Both ends have Nagle's delay switched off
// so that small pieces leave at once. False on failure (nothing left open).
bool CreateSocketPair(TSocketHandle &first, TSocketHandle &second);

// A TCP listener on 127.0.0.1:port (0 picks a free port); `boundPort` gets the
// port in use. InvalidSocket on failure, with a readable reason in `error`.
TSocketHandle ListenLoopback(std::uint16_t port, std::uint16_t &boundPort, std::string &error);

// Accepts one connection (Nagle's delay off); InvalidSocket on failure.
TSocketHandle AcceptConnection(TSocketHandle listener);

// A TCP connection to host:port (Nagle's delay off), resolved as the TCP meter
// resolves its host; InvalidSocket on failure, with a readable reason in `error`.
TSocketHandle ConnectTcp(const std::string &host, std::uint16_t port, std::string &error);

// The one owner of a socket: closes it on destruction.
class TOwnedSocket {
public:
    TOwnedSocket() = default;
    explicit TOwnedSocket(TSocketHandle socket) : FSocket(socket) {}
    ~TOwnedSocket() { Reset(); }
    TOwnedSocket(TOwnedSocket &&other) noexcept : FSocket(other.Release()) {}
    TOwnedSocket &operator=(TOwnedSocket &&other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TOwnedSocket(const TOwnedSocket &) = delete;
    TOwnedSocket &operator=(const TOwnedSocket &) = delete;

    TSocketHandle Get() const { return FSocket; }
    bool Valid() const { return FSocket != InvalidSocket; }
    TSocketHandle Release() { return std::exchange(FSocket, InvalidSocket); }
    void Reset(TSocketHandle socket = InvalidSocket)
    {
        if (FSocket != InvalidSocket)
            CloseSocketHandle(FSocket);
        FSocket = socket;
    }

private:
    TSocketHandle FSocket = InvalidSocket;
};
