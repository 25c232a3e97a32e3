// SPDX-License-Identifier: Apache-2.0
// A meter reached over TCP instead of Bluetooth (for instance the simulator's
// listening port, or a serial-to-network bridge): `--meter tcp:HOST:PORT`.
// The link is a TCP connection to HOST:PORT, over which the exchange runs
// unchanged.
#pragma once

#include "platform/sockets/tcp_socket.h"
#include "platform/streams/byte_stream.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct TTcpMeterAddress {
    std::string Host;
    std::uint16_t Port = 0;
};

struct TMeterAddressParse {
    bool Ok = false;
    TTcpMeterAddress Address;
    std::string Error;  // what is wrong, for the person who typed it
    explicit operator bool() const { return Ok; }
};

// "tcp:HOST:PORT", HOST a name, an IPv4 address or a bracketed IPv6 address
// ("tcp:[::1]:5000"), PORT 1 to 65535 in decimal.
TMeterAddressParse ParseMeterAddress(std::string_view text);

// The link: a TCP connection to HOST:PORT; there is nothing to discover.
class TTcpMeterRoute : public IMeterRoute {
public:
    // A connection attempt gives up after connectTimeout, about as long as a
    // Bluetooth page to a meter out of reach.
    explicit TTcpMeterRoute(TTcpMeterAddress address,
                            std::chrono::milliseconds connectTimeout = std::chrono::seconds(10));

    TStreamOpening Open(std::uint64_t address) override;

private:
    TTcpMeterAddress FAddress;
    std::chrono::milliseconds FConnectTimeout;
};
