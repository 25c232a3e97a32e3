// SPDX-License-Identifier: Apache-2.0
// Runs the reading message parser on a message laid out in a receive buffer
// exactly as the exchange leaves it, and checks that the parser kept to its part
// of the buffer. Shared by the fuzz target and the test that replays its corpus.
#pragma once

#include "link/meter_link.h"
#include "link/parse_reading.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define PARSE_HARNESS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PARSE_HARNESS_ASAN 1
#endif
#endif
#ifdef PARSE_HARNESS_ASAN
#include <sanitizer/asan_interface.h>
#endif

struct TParseOutcome {
    bool Accepted = false;
    TReading Reading;
    std::string Problem; // empty when the parser kept to its part of the buffer
};

// The message's size is the message length n, at most what leaves room for the
// ten positions after it in the buffer (a message of no bytes is taken as one,
// as position 0 always holds the acknowledgement).
inline std::int32_t LaidOutSize(std::size_t messageSize)
{
    return static_cast<std::int32_t>(
        std::clamp<std::size_t>(messageSize, 1, ReceiveBufferSize - 10));
}

// What the parser did wrong to the buffer, or nothing. From n on nothing may
// change; inside the message only line ends and '%' become NUL, and only marks
// become the separator.
inline std::string BufferProblem(const std::uint8_t *before, const std::uint8_t *after, std::size_t n,
                                 char32_t separator)
{
    for (std::size_t i = n; i < ReceiveBufferSize; ++i)
        if (after[i] != before[i])
            return "position " + std::to_string(i) + " written";
    const auto separatorByte = static_cast<std::uint8_t>(separator & 0xFF);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t was = before[i];
        const std::uint8_t is = after[i];
        const bool allowed = is == was || (is == 0 && (was == 0x0D || was == 0x0A || was == '%'))
                             || (is == separatorByte && (was == '.' || was == ','));
        if (!allowed)
            return "position " + std::to_string(i) + " changed wrongly";
    }
    return {};
}

inline std::string ReadingProblem(const TReading &r)
{
    for (const double value : {r.Moisture, r.Temperature, r.Protein, r.Oil, r.Water, r.Starch})
        if (!std::isfinite(value))
            return "a number is not finite";
    return {};
}

inline TParseOutcome ParseLaidOut(const std::uint8_t *message, std::size_t messageSize, char32_t separator)
{
    const std::int32_t n = LaidOutSize(messageSize);
    const auto end = static_cast<std::size_t>(n);

    // The receive buffer: position 0 the acknowledgement, then the message, zero
    // from n on. Positions from n + 10 on are poisoned under AddressSanitizer, so a
    // read there stops the run.
    struct TGuardedBuffer {
        std::unique_ptr<std::uint8_t[]> Bytes{new std::uint8_t[ReceiveBufferSize]()};
        std::size_t PoisonFrom = ReceiveBufferSize;
        void Poison(std::size_t from)
        {
            PoisonFrom = from;
#ifdef PARSE_HARNESS_ASAN
            ASAN_POISON_MEMORY_REGION(Bytes.get() + from, ReceiveBufferSize - from);
#endif
        }
        void Unpoison()
        {
#ifdef PARSE_HARNESS_ASAN
            ASAN_UNPOISON_MEMORY_REGION(Bytes.get() + PoisonFrom, ReceiveBufferSize - PoisonFrom);
#endif
            PoisonFrom = ReceiveBufferSize;
        }
        ~TGuardedBuffer() { Unpoison(); }
    } buffer;
    std::uint8_t *const b = buffer.Bytes.get();
    std::copy_n(message, std::min(messageSize, end), b);
    b[0] = AckByte;

    std::unique_ptr<std::uint8_t[]> before(new std::uint8_t[ReceiveBufferSize]);
    std::copy_n(b, ReceiveBufferSize, before.get());

    TParseOutcome outcome;
    buffer.Poison(end + 10);
    try {
        outcome.Reading = ParseReading(b, n, separator);
        outcome.Accepted = true;
    } catch (const EConvertError &) {
        outcome.Accepted = false;
    }
    buffer.Unpoison();

    outcome.Problem = BufferProblem(before.get(), b, end, separator);
    if (outcome.Problem.empty() && outcome.Accepted)
        outcome.Problem = ReadingProblem(outcome.Reading);
    return outcome;
}
