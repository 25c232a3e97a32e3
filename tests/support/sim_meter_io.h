// SPDX-License-Identifier: Apache-2.0
// Reading what a peer sent, for tests that talk to the simulated meter or
// inspect a socket after an exchange.
#pragma once

#include "link/meter_wire.h"
#include "platform/sockets/socket_handle.h"
#include "platform/streams/byte_stream.h"

#include <chrono>
#include <cstdint>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

// The computer's two bytes of the protocol, as one-byte buffers to send.
inline constexpr std::uint8_t Request[] = {RequestByte};
inline constexpr std::uint8_t Ack[] = {AckByte};

struct TDrained {
    std::vector<std::uint8_t> Bytes;
    bool Closed = false;  // the peer closed the connection
    bool Failed = false;  // a receive failed (a terminal whose far end has gone)
};

// Reads until the peer closes, a receive fails, `limit` bytes are in, or
// nothing more arrives for `quiet`.
TDrained DrainStream(IByteStream &stream, std::chrono::milliseconds quiet, std::size_t limit = SIZE_MAX);
TDrained DrainSocket(TSocketHandle socket, std::chrono::milliseconds quiet, std::size_t limit = SIZE_MAX);
