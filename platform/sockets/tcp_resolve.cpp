// Name resolution for TCP sockets: getaddrinfo is the same call on
// every system, only its header differs.
#include "platform/sockets/tcp_socket.h"

#include <cstring>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace TcpSocket {

bool Resolve(const std::string &host, std::uint16_t port, TAddress &address)
{
    address = TAddress{};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *list = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0)
        return false;
    const addrinfo *chosen = list;
    for (const addrinfo *entry = list; entry; entry = entry->ai_next)
        if (entry->ai_family == AF_INET) {
            chosen = entry;
            break;
        }
    const bool ok = chosen && chosen->ai_addrlen <= address.Bytes.size();
    if (ok) {
        std::memcpy(address.Bytes.data(), chosen->ai_addr, chosen->ai_addrlen);
        address.Length = static_cast<std::uint32_t>(chosen->ai_addrlen);
        address.Family = chosen->ai_family;
    }
    freeaddrinfo(list);
    return ok;
}

} // namespace TcpSocket
