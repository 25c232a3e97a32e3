// SPDX-License-Identifier: Apache-2.0
// TCP sockets on Windows (Winsock 2.2).
#include "platform/sockets/tcp_socket.h"
#include "platform/text/system_error_text_win32.h"

#include <cstring>
#include <string>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace TcpSocket {

std::string ErrorText(int code)
{
    return SystemErrorText(static_cast<unsigned long>(code));
}

int LastError()
{
    return WSAGetLastError();
}

int Startup()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}

void Cleanup()
{
    WSACleanup();
}

TSocketHandle Open(const TAddress &address)
{
    const int family = address.Length ? address.Family : AF_INET;
    const SOCKET socket = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET)
        return InvalidSocket;
    // The exchange writes single bytes and waits for the answer: send them now.
    const BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
    return socket;
}

void SetReuseAddress(TSocketHandle socket)
{
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&on), sizeof on);
}

int Connect(TSocketHandle socket, const TAddress &address, std::chrono::milliseconds timeout, TFailure *failure)
{
    TFailure cause;
    int result = -1;
    // Connect without blocking so that the wait has a bound, then go back to a
    // blocking socket, which the exchange expects.
    u_long nonBlocking = 1;
    if (address.Length == 0) {
        cause.Code = WSAEDESTADDRREQ;
    } else if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        cause.Code = WSAGetLastError();
    } else {
        result = ::connect(socket, reinterpret_cast<const sockaddr *>(address.Bytes.data()),
                           static_cast<int>(address.Length));
        cause.Code = result == 0 ? 0 : WSAGetLastError();
        if (result != 0 && cause.Code == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(socket, &writable);
            FD_SET(socket, &failed);
            const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
            timeval wait{static_cast<long>(micros / 1000000), static_cast<long>(micros % 1000000)};
            // Winsock reports a refused connection in the exception set.
            const int ready = select(0, nullptr, &writable, &failed, &wait);
            int error = 0;
            int length = sizeof error;
            if (ready == 0)
                cause = {0, true};
            else if (ready == SOCKET_ERROR)
                cause.Code = WSAGetLastError();
            else if (FD_ISSET(socket, &writable))
                result = 0;
            else if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) == 0 &&
                     error != 0)
                cause.Code = error;
            else
                cause.Code = WSAECONNREFUSED;
        }
        u_long blocking = 0;
        if (ioctlsocket(socket, FIONBIO, &blocking) != 0) {
            cause.Code = WSAGetLastError();
            result = -1;
        }
    }
    if (result != 0 && failure != nullptr)
        *failure = cause;
    return result == 0 ? 0 : -1;
}

void Close(TSocketHandle socket)
{
    closesocket(socket);
}

}  // namespace TcpSocket
