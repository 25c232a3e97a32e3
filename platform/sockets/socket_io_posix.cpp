// SPDX-License-Identifier: Apache-2.0
// Socket wrapper for Linux. The waits use ppoll rather than select: it takes
// the timeout exactly (nanoseconds) and has no FD_SETSIZE limit on descriptors.
#include "platform/sockets/socket_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include <poll.h>
#include <sys/socket.h>

namespace {

std::atomic<double> pauseScale{1.0};

std::chrono::nanoseconds ToDuration(TTimeout timeout)
{
    auto duration = std::chrono::seconds(timeout.Seconds) + std::chrono::microseconds(timeout.Microseconds);
    return duration < std::chrono::nanoseconds::zero() ? std::chrono::nanoseconds::zero()
                                                       : std::chrono::nanoseconds(duration);
}

// One ppoll for `events`; a signal that interrupts it restarts it with the
// time that is left, so the wait neither ends early nor runs over.
int WaitFor(TSocketHandle socket, short events, TTimeout timeout)
{
    // ppoll skips a negative descriptor and would just time out; select
    // reports it as a failure, and so do we.
    if (socket < 0)
        return -1;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + ToDuration(timeout);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left < std::chrono::nanoseconds::zero())
            left = std::chrono::nanoseconds::zero();
        timespec limit{};
        limit.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
        limit.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
        pollfd entry{};
        entry.fd = socket;
        entry.events = events;
        const int result = ppoll(&entry, 1, &limit, nullptr);
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return -1;
        if (result == 0)
            return 0;
        // select reports a descriptor that is not open as a failure; ppoll
        // reports it ready with POLLNVAL. An end of stream or a socket error
        // counts as ready, as select has it: the next call tells what happened.
        return (entry.revents & POLLNVAL) ? -1 : 1;
    }
}

} // namespace

int WaitWritable(TSocketHandle socket, TTimeout timeout) { return WaitFor(socket, POLLOUT, timeout); }

int WaitReadable(TSocketHandle socket, TTimeout timeout) { return WaitFor(socket, POLLIN, timeout); }

int SendBytes(TSocketHandle socket, const std::uint8_t *data, std::int32_t count)
{
    // MSG_NOSIGNAL: a meter that has gone away must give -1, not kill the program.
    const ssize_t sent = send(socket, data, static_cast<size_t>(count), MSG_NOSIGNAL);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

int ReceiveBytes(TSocketHandle socket, std::uint8_t *data, std::int32_t count)
{
    ssize_t received;
    do {
        received = recv(socket, data, static_cast<size_t>(count), 0);
    } while (received < 0 && errno == EINTR);
    return received < 0 ? -1 : static_cast<int>(received);
}

void Pause(std::int32_t milliseconds)
{
    const double scaled = milliseconds * pauseScale.load();
    if (scaled > 0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}

void SetPauseScale(double scale) { pauseScale.store(scale < 0 ? 0 : scale); }

double PauseScale() { return pauseScale.load(); }
