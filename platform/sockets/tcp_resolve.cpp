// SPDX-License-Identifier: Apache-2.0
// Name resolution for TCP sockets: one body for every system, whose calls
// differ only in the text they take. Windows gets the wide ones, for the
// narrow getaddrinfo reads the host's name in the ANSI code page.
#include "platform/sockets/tcp_socket.h"

#include <cstring>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/text/wide_text_win32.h"
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace TcpSocket {

namespace {

#ifdef _WIN32
using TAddressInfo = ADDRINFOW;
const auto GetAddressInfo = GetAddrInfoW;
const auto FreeAddressInfo = FreeAddrInfoW;
std::wstring SystemText(const std::string &utf8)
{
    return WideFromUtf8(utf8);
}
#else
using TAddressInfo = addrinfo;
const auto GetAddressInfo = getaddrinfo;
const auto FreeAddressInfo = freeaddrinfo;
const std::string &SystemText(const std::string &utf8)
{
    return utf8;
}
#endif

// The system's list of addresses for host:port (a port only when given), or
// nothing; freed with FreeAddressInfo.
TAddressInfo *Lookup(const std::string &host, const std::string &port)
{
    const auto systemHost = SystemText(host);
    if (systemHost.empty() != host.empty())
        return nullptr;  // not UTF-8
    TAddressInfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = port.empty() ? 0 : AI_NUMERICSERV;
    TAddressInfo *list = nullptr;
    const auto systemPort = SystemText(port);
    if (GetAddressInfo(systemHost.c_str(), port.empty() ? nullptr : systemPort.c_str(), &hints, &list) != 0)
        return nullptr;
    return list;
}

} // namespace

bool Resolve(const std::string &host, std::uint16_t port, TAddress &address)
{
    address = TAddress{};
    TAddressInfo *list = Lookup(host, std::to_string(port));
    if (!list)
        return false;
    const TAddressInfo *chosen = list;
    for (const TAddressInfo *entry = list; entry; entry = entry->ai_next)
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
    FreeAddressInfo(list);
    return ok;
}

std::vector<std::string> WildcardsOfFamiliesOf(const std::string &host)
{
    bool inet = false;
    bool inet6 = false;
    if (TAddressInfo *list = Lookup(host, "")) {
        for (const TAddressInfo *entry = list; entry; entry = entry->ai_next) {
            inet = inet || entry->ai_family == AF_INET;
            inet6 = inet6 || entry->ai_family == AF_INET6;
        }
        FreeAddressInfo(list);
    }
    std::vector<std::string> wildcards;
    if (inet)
        wildcards.emplace_back("0.0.0.0");
    if (inet6)
        wildcards.emplace_back("::");
    return wildcards;
}

} // namespace TcpSocket
