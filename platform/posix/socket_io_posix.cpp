// Socket wrapper for Linux. The waits use ppoll rather than select: it takes
// the timeout exactly (nanoseconds) and has no FD_SETSIZE limit on descriptors.
#include "platform/socket_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

void SwitchOffNagle(TSocketHandle socket)
{
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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

void CloseSocketHandle(TSocketHandle socket)
{
    if (socket != InvalidSocket)
        close(socket);
}

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
    SwitchOffNagle(connection);
    return connection;
}

TSocketHandle ConnectTcp(const std::string &host, std::uint16_t port, std::string &error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); status != 0) {
        error = "cannot resolve " + host + ": " + gai_strerror(status);
        return InvalidSocket;
    }
    error = "cannot connect to " + host + ":" + service;
    TSocketHandle result = InvalidSocket;
    for (addrinfo *entry = found; entry != nullptr && result == InvalidSocket; entry = entry->ai_next) {
        TOwnedSocket candidate(socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol));
        if (!candidate.Valid())
            continue;
        if (connect(candidate.Get(), entry->ai_addr, entry->ai_addrlen) == 0) {
            SwitchOffNagle(candidate.Get());
            result = candidate.Release();
        } else {
            error = "cannot connect to " + host + ":" + service + ": " + std::strerror(errno);
        }
    }
    freeaddrinfo(found);
    if (result != InvalidSocket)
        error.clear();
    return result;
}
