// SPDX-License-Identifier: Apache-2.0
// TCP sockets on POSIX systems.
#include "platform/sockets/tcp_socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TcpSocket {

std::string ErrorText(int code)
{
    return std::generic_category().message(code);
}

int LastError()
{
    return errno;
}

int Startup()
{
    return 0;
}

void Cleanup()
{
}

TSocketHandle Open(const TAddress &address)
{
    const int family = address.Length ? address.Family : AF_INET;
    const int socket = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0)
        return InvalidSocket;
    // The exchange writes single bytes and waits for the answer: send them now.
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return socket;
}

void SetReuseAddress(TSocketHandle socket)
{
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int Connect(TSocketHandle socket, const TAddress &address, std::chrono::milliseconds timeout, TFailure *failure)
{
    TFailure cause;
    int result = -1;
    // Connect without blocking so that the wait has a bound, then go back to a
    // blocking socket, which the exchange expects.
    const int flags = fcntl(socket, F_GETFL);
    if (address.Length == 0) {
        cause.Code = EDESTADDRREQ;
    } else if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) {
        cause.Code = errno;
    } else {
        result = ::connect(socket, reinterpret_cast<const sockaddr *>(address.Bytes.data()), address.Length);
        cause.Code = result == 0 ? 0 : errno;
        if (result != 0 && (errno == EINPROGRESS || errno == EINTR)) {
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            pollfd waiting{socket, POLLOUT, 0};
            int ready = 0;
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                ready = poll(&waiting, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
                if (ready >= 0 || errno != EINTR)
                    break;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (ready == 0)
                cause = {0, true};
            else if (ready < 0)
                cause.Code = errno;
            else if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                cause.Code = errno;
            else if (error != 0)
                cause.Code = error;
            else
                result = 0;
        }
        if (fcntl(socket, F_SETFL, flags) < 0) {
            cause.Code = errno;
            result = -1;
        }
    }
    if (result != 0 && failure != nullptr)
        *failure = cause;
    return result == 0 ? 0 : -1;
}

void Close(TSocketHandle socket)
{
    ::close(socket);
}

}  // namespace TcpSocket
