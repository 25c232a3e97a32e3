// SPDX-License-Identifier: Apache-2.0
// Socket wrapper for Windows: Winsock select/send/recv and Sleep.
#include "platform/sockets/socket_io.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cmath>

namespace {

std::atomic<double> pauseScale{1.0};

int WaitFor(TSocketHandle socket, bool forWrite, TTimeout timeout)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<SOCKET>(socket), &set);
    timeval limit{};
    limit.tv_sec = timeout.Seconds < 0 ? 0 : timeout.Seconds;
    limit.tv_usec = timeout.Microseconds < 0 ? 0 : timeout.Microseconds;
    // Winsock ignores the first argument.
    const int result = forWrite ? select(0, nullptr, &set, nullptr, &limit) : select(0, &set, nullptr, nullptr, &limit);
    if (result == SOCKET_ERROR)
        return -1;
    return result > 0 ? 1 : 0;
}

} // namespace

int WaitWritable(TSocketHandle socket, TTimeout timeout) { return WaitFor(socket, true, timeout); }

int WaitReadable(TSocketHandle socket, TTimeout timeout) { return WaitFor(socket, false, timeout); }

int SendBytes(TSocketHandle socket, const std::uint8_t *data, std::int32_t count)
{
    const int sent = send(static_cast<SOCKET>(socket), reinterpret_cast<const char *>(data), count, 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int ReceiveBytes(TSocketHandle socket, std::uint8_t *data, std::int32_t count)
{
    const int received = recv(static_cast<SOCKET>(socket), reinterpret_cast<char *>(data), count, 0);
    return received == SOCKET_ERROR ? -1 : received;
}

void Pause(std::int32_t milliseconds)
{
    const double scaled = milliseconds * pauseScale.load();
    if (scaled > 0)
        Sleep(static_cast<DWORD>(std::lround(scaled)));
}

void SetPauseScale(double scale) { pauseScale.store(scale < 0 ? 0 : scale); }

double PauseScale() { return pauseScale.load(); }
