// SPDX-License-Identifier: Apache-2.0
// The reading exchange: one request byte, one message of a known size, one
// acknowledgement byte, on the open stream.
#include "link/meter_link.h"

#include "platform/sockets/socket_io.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace {

constexpr TTimeout PreSendWait{0, 500};  // 0.5 ms for the stream to take the request
constexpr TTimeout ReplyWait{1, 500};    // 1.0005 s, from the request on, for the first reply bytes
constexpr TTimeout ChunkWait{0, 500};    // 0.5 ms for each further piece
constexpr std::int32_t PauseMilliseconds = 200;
constexpr std::size_t ZeroedPrefix = 100;

using TTraceClock = std::chrono::steady_clock;

// "14 3A 31 ...": the bytes as they came, for the trace.
std::string HexBytes(const std::uint8_t *bytes, std::int32_t count)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 3);
    for (std::int32_t i = 0; i < count; ++i) {
        if (i > 0)
            text += ' ';
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 0xF];
    }
    return text;
}

std::string Received(int piece, std::int32_t received, std::int32_t size)
{
    return "received " + std::to_string(piece) + " bytes (" + std::to_string(received) + " of " +
           std::to_string(size) + ")";
}

} // namespace

bool TMeterLink::ExchangeReading(std::int32_t size)
{
    // The terminating zero goes into FBuffer[size]; anything larger would write
    // past the buffer.
    if (size < 1 || size >= static_cast<std::int32_t>(ReceiveBufferSize) || !FStream)
        return false;

    std::fill_n(FBuffer.begin(), ZeroedPrefix, std::uint8_t{0});
    Pause(PauseMilliseconds);

    // A wait that fails counts as ready: the send or receive after it decides.
    if (FStream->WaitWritable(PreSendWait) == 0) {
        Trace([] { return "the link took no request within 0.5 ms: nothing sent"; });
        return false;
    }
    FBuffer[0] = RequestByte;
    if (FStream->Send(FBuffer.data(), 1) == -1) {
        Trace([] { return "sending the request failed"; });
        return false;
    }
    Trace([] { return "request sent"; });
    const auto requested = FTrace != nullptr ? TTraceClock::now() : TTraceClock::time_point{};

    const int replyReady = FStream->WaitReadable(ReplyWait);
    Trace([&] {
        if (replyReady == 0)
            return std::string("reply wait timed out");
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(TTraceClock::now() - requested);
        return (replyReady == 1 ? "reply ready after " : "reply wait failed, taken as ready, after ") +
               std::to_string(waited.count()) + " ms";
    });
    // The operator sees that the wait has ended, whatever its outcome.
    FIndicatorColor = IndicatorYellow;
    FShowIndicator();
    if (replyReady == 0)
        return false;

    Pause(PauseMilliseconds);

    const int first = FStream->Receive(FBuffer.data(), size);
    // 0: the meter closed the connection. Nothing more can come, and waiting
    // again would report the closed socket readable at once, for ever.
    if (first <= 0) {
        Trace([&] { return first == 0 ? "the meter closed the connection before sending" : "receive failed"; });
        return false;
    }
    std::int32_t received = first;
    Trace([&] { return Received(first, received, size); });

    // The bytes that came, whatever came of the message.
    const auto traceMessage = [&] {
        Trace([&] { return "message (" + std::to_string(received) + " bytes): " + HexBytes(FBuffer.data(), received); });
    };
    while (received < size) {
        if (FStream->WaitReadable(ChunkWait) == 0) {
            traceMessage();
            Trace([&] { return "stopped short after " + std::to_string(received) + " bytes"; });
            // The message stopped short: tell the meter we are done with it.
            FBuffer[0] = AckByte;
            FStream->Send(FBuffer.data(), 1);
            Trace([] { return "acknowledgement sent"; });
            return false;
        }
        const int piece = FStream->Receive(FBuffer.data() + received, size - received);
        if (piece <= 0) {
            traceMessage();
            Trace([&] {
                return (piece == 0 ? "the meter closed the connection after " : "receive failed after ") +
                       std::to_string(received) + " bytes";
            });
            return false;
        }
        received += piece;
        Trace([&] { return Received(piece, received, size); });
    }

    traceMessage();
    FBuffer[static_cast<std::size_t>(size)] = 0;
    FBuffer[0] = AckByte;
    FStream->Send(FBuffer.data(), 1);
    Trace([] { return "acknowledgement sent"; });
    return true;
}
