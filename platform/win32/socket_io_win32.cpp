// Socket wrapper for Windows: Winsock select/send/recv and Sleep.
#include "platform/socket_io.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cmath>

namespace {

std::atomic<double> pauseScale{1.0};

// The socket chores below may run before any Bluetooth start-up; Winsock is
// reference counted, so one start-up held for the life of the process is
// harmless and spares every caller the bookkeeping.
bool EnsureWinsock()
{
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

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

void SwitchOffNagle(SOCKET socket)
{
    BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
}

std::string ErrorText(const char *what)
{
    return std::string(what) + " (Winsock error " + std::to_string(WSAGetLastError()) + ")";
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

void CloseSocketHandle(TSocketHandle socket)
{
    if (socket != InvalidSocket)
        closesocket(static_cast<SOCKET>(socket));
}

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
    if (!EnsureWinsock()) {
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
        error = ErrorText(("cannot bind 127.0.0.1:" + std::to_string(port)).c_str());
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
    SwitchOffNagle(connection);
    return static_cast<TSocketHandle>(connection);
}

TSocketHandle ConnectTcp(const std::string &host, std::uint16_t port, std::string &error)
{
    if (!EnsureWinsock()) {
        error = "cannot start Winsock";
        return InvalidSocket;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        error = ErrorText(("cannot resolve " + host).c_str());
        return InvalidSocket;
    }
    error = "cannot connect to " + host + ":" + service;
    TSocketHandle result = InvalidSocket;
    for (addrinfo *entry = found; entry != nullptr && result == InvalidSocket; entry = entry->ai_next) {
        TOwnedSocket candidate(socket(entry->ai_family, entry->ai_socktype, entry->ai_protocol));
        if (!candidate.Valid())
            continue;
        if (connect(static_cast<SOCKET>(candidate.Get()), entry->ai_addr, static_cast<int>(entry->ai_addrlen)) == 0) {
            SwitchOffNagle(static_cast<SOCKET>(candidate.Get()));
            result = candidate.Release();
        } else {
            error = ErrorText(("cannot connect to " + host + ":" + service).c_str());
        }
    }
    freeaddrinfo(found);
    if (result != InvalidSocket)
        error.clear();
    return result;
}
