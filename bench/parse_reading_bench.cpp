// SPDX-License-Identifier: Apache-2.0
// Throughput of the reading message parser. The parser works in place, so every
// iteration first restores the message: that copy alone is the baseline, and the
// parser's cost is the difference.
#include "link/meter_link.h"
#include "link/number_conversion.h"
#include "link/parse_reading.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <string>

namespace {

std::array<std::uint8_t, ReceiveBufferSize> LaidOutMessage()
{
    const std::string message = "x:123456\r\nx:AB1\r\nx:14.5\r\nx:21.3\r\nx:101\r\nx:102\r\nx:103\r\nx:104\r\n"
                                "B12.3%T4.5%W13.0%S60.1%\r\n";
    std::array<std::uint8_t, ReceiveBufferSize> buffer{};
    std::memcpy(buffer.data(), message.data(), message.size());
    buffer[0] = AckByte;
    return buffer;
}

// Restores the message into the parser's buffer before each call of parse,
// which gets the buffer; the restoring copy is the baseline's whole cost.
template <typename Parse>
void ParseRestoredMessage(benchmark::State &state, const std::array<std::uint8_t, ReceiveBufferSize> &message,
                          Parse parse)
{
    std::array<std::uint8_t, ReceiveBufferSize> buffer = message;
    for (auto _ : state) {
        std::memcpy(buffer.data(), message.data(), ReadingMessageSize);
        benchmark::DoNotOptimize(buffer.data());
        parse(buffer.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void CopyMessageBaseline(benchmark::State &state)
{
    ParseRestoredMessage(state, LaidOutMessage(), [](std::uint8_t *) { benchmark::ClobberMemory(); });
}
BENCHMARK(CopyMessageBaseline);

// As the program calls it: the separator from the current settings, the clock read.
void ParseReadingFromCurrentSettings(benchmark::State &state)
{
    ParseRestoredMessage(state, LaidOutMessage(), [](std::uint8_t *buffer) {
        TReading reading = ParseReading(buffer, ReadingMessageSize);
        benchmark::DoNotOptimize(reading);
    });
}
BENCHMARK(ParseReadingFromCurrentSettings);

void ParseReadingWithCommaSeparator(benchmark::State &state)
{
    ParseRestoredMessage(state, LaidOutMessage(), [](std::uint8_t *buffer) {
        TReading reading = ParseReading(buffer, ReadingMessageSize, U',');
        benchmark::DoNotOptimize(reading);
    });
}
BENCHMARK(ParseReadingWithCommaSeparator);

// A dropped reading: the third number fails, so the error path is paid.
void ParseReadingDropped(benchmark::State &state)
{
    auto message = LaidOutMessage();
    message[std::string_view(reinterpret_cast<const char *>(message.data()), ReadingMessageSize).find('W')] = 'w';
    ParseRestoredMessage(state, message, [](std::uint8_t *buffer) {
        try {
            TReading reading = ParseReading(buffer, ReadingMessageSize, U'.');
            benchmark::DoNotOptimize(reading);
        } catch (const EConvertError &) {
        }
    });
}
BENCHMARK(ParseReadingDropped);

void TextToFloatOneNumber(benchmark::State &state)
{
    const std::string text = " 60.1 ";
    for (auto _ : state)
        benchmark::DoNotOptimize(TextToFloat(text, U'.'));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(TextToFloatOneNumber);

} // namespace

BENCHMARK_MAIN();
