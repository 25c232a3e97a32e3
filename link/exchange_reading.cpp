// The reading exchange: one request byte, one message of a known size, one
// acknowledgement byte, on the open link FSocket.
#include "link/meter_link.h"

#include "platform/socket_io.h"

#include <algorithm>

namespace {

constexpr TTimeout PreSendWait{0, 500};  // 0.5 ms for the socket to take the request
constexpr TTimeout ReplyWait{1, 500};    // 1.0005 s, from the request on, for the first reply bytes
constexpr TTimeout ChunkWait{0, 500};    // 0.5 ms for each further piece
constexpr std::int32_t PauseMilliseconds = 200;
constexpr std::size_t ZeroedPrefix = 100;

} // namespace

bool TMeterLink::ExchangeReading(std::int32_t size)
{
    // The terminating zero goes into FBuffer[size]; anything larger would write
    // past the buffer.
    if (size < 1 || size >= static_cast<std::int32_t>(ReceiveBufferSize))
        return false;

    std::fill_n(FBuffer.begin(), ZeroedPrefix, std::uint8_t{0});
    Pause(PauseMilliseconds);

    // A wait that fails counts as ready: the send or receive after it decides.
    if (WaitWritable(FSocket, PreSendWait) == 0)
        return false;
    FBuffer[0] = RequestByte;
    if (SendBytes(FSocket, FBuffer.data(), 1) == -1)
        return false;

    const int replyReady = WaitReadable(FSocket, ReplyWait);
    // The operator sees that the wait has ended, whatever its outcome.
    FIndicatorColor = IndicatorYellow;
    FShowIndicator();
    if (replyReady == 0)
        return false;

    Pause(PauseMilliseconds);

    const int first = ReceiveBytes(FSocket, FBuffer.data(), size);
    // 0: the meter closed the connection. Nothing more can come, and waiting
    // again would report the closed socket readable at once, for ever.
    if (first <= 0)
        return false;
    std::int32_t received = first;

    while (received < size) {
        if (WaitReadable(FSocket, ChunkWait) == 0) {
            // The message stopped short: tell the meter we are done with it.
            FBuffer[0] = AckByte;
            SendBytes(FSocket, FBuffer.data(), 1);
            return false;
        }
        const int piece = ReceiveBytes(FSocket, FBuffer.data() + received, size - received);
        if (piece <= 0)
            return false;
        received += piece;
    }

    FBuffer[static_cast<std::size_t>(size)] = 0;
    FBuffer[0] = AckByte;
    SendBytes(FSocket, FBuffer.data(), 1);
    return true;
}
