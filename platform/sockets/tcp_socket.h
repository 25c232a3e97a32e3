// SPDX-License-Identifier: Apache-2.0
// The operating system's TCP sockets, for the TCP meter transport and the
// simulator's local sockets: one backend file per system
// (tcp_socket_posix.cpp, tcp_socket_win32.cpp) and one name
// resolution for all (tcp_resolve.cpp).
#pragma once

#include "platform/sockets/socket_handle.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

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

// For each address family that host resolves to, IPv4 first, the local
// wildcard address of that family ("0.0.0.0", "::"): a socket bound to one
// reaches only addresses of its family. Empty when the name cannot be resolved.
std::vector<std::string> WildcardsOfFamiliesOf(const std::string &host);

// A stream socket for the address's family (IPv4 for an unresolved address),
// with Nagle's delay off, or InvalidSocket.
TSocketHandle Open(const TAddress &address);
void SetReuseAddress(TSocketHandle socket);
// 0 once connected; -1 when refused, unreachable, unresolved or not connected
// within the timeout, with the cause in `failure` when one is given. The
// socket stays blocking.
int Connect(TSocketHandle socket, const TAddress &address, std::chrono::milliseconds timeout,
            TFailure *failure = nullptr);
void Close(TSocketHandle socket);

}  // namespace TcpSocket
