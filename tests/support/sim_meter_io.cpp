// SPDX-License-Identifier: Apache-2.0
#include "tests/support/sim_meter_io.h"

#include "platform/sockets/socket_stream.h"

#include <algorithm>

TDrained DrainStream(IByteStream &stream, std::chrono::milliseconds quiet, std::size_t limit)
{
    TDrained drained;
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(quiet).count();
    const TTimeout wait{static_cast<std::int32_t>(micros / 1'000'000), static_cast<std::int32_t>(micros % 1'000'000)};
    std::uint8_t bytes[4096];
    while (drained.Bytes.size() < limit && stream.WaitReadable(wait) != 0) {
        const std::size_t want = std::min(sizeof bytes, limit - drained.Bytes.size());
        const int received = stream.Receive(bytes, static_cast<std::int32_t>(want));
        if (received <= 0) {
            drained.Closed = received == 0;
            drained.Failed = received < 0;
            break;
        }
        drained.Bytes.insert(drained.Bytes.end(), bytes, bytes + received);
    }
    return drained;
}

TDrained DrainSocket(TSocketHandle socket, std::chrono::milliseconds quiet, std::size_t limit)
{
    TSocketStream stream(socket, nullptr);  // the caller keeps the socket
    return DrainStream(stream, quiet, limit);
}
