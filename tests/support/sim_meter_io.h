// Reading what a peer sent, for tests that talk to the simulated meter or
// inspect a socket after an exchange.
#pragma once

#include "platform/sockets/socket_handle.h"

#include <chrono>
#include <cstdint>
#include <vector>

struct TDrained {
    std::vector<std::uint8_t> Bytes;
    bool Closed = false;  // the peer closed the connection
};

// Reads until the peer closes, `limit` bytes are in, or nothing more arrives
// for `quiet`.
TDrained DrainSocket(TSocketHandle socket, std::chrono::milliseconds quiet, std::size_t limit = SIZE_MAX);
