// The reading exchange's own overhead: a full exchange with the simulated
// meter, its two fixed 200 ms pauses scaled to zero, against a bare request and
// message-sized answer on the same kind of connection to the same meter.
#include "bench/median_reporter.h"
#include "link/meter_link.h"
#include "sim/local_sockets.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "platform/sockets/socket_stream.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

TMeterOptions QuietMeter()
{
    TMeterOptions options;
    options.Record = false;  // thousands of exchanges: keep no record
    return options;
}

// Baseline: one request byte out, one message back, read as they come.
void BM_BareRoundTrip(benchmark::State &state)
{
    TSimulatedMeter meter(QuietMeter());
    TOwnedSocket socket(meter.Connect());
    std::uint8_t buffer[ReceiveBufferSize];
    for (auto _ : state) {
        buffer[0] = RequestByte;
        if (SendBytes(socket.Get(), buffer, 1) != 1) {
            state.SkipWithError("send failed");
            break;
        }
        std::size_t received = 0;
        while (received < ReadingMessageSize) {
            const int piece =
                ReceiveBytes(socket.Get(), buffer + received, static_cast<std::int32_t>(ReadingMessageSize - received));
            if (piece <= 0)
                break;
            received += static_cast<std::size_t>(piece);
        }
        if (received != ReadingMessageSize) {
            state.SkipWithError("short answer");
            break;
        }
        benchmark::DoNotOptimize(buffer);
    }
}

void BM_ExchangeReading(benchmark::State &state)
{
    TPauseScaleGuard noPauses(0);
    TSimulatedMeter meter(QuietMeter());
    TMeterLink link(TMeterWay{}, [] {});
    link.UseStream(std::make_unique<TSocketStream>(meter.Connect(), CloseSocketHandle));
    for (auto _ : state) {
        if (!link.ExchangeReading(ReadingMessageSize)) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(link.Buffer());
    }
}

BENCHMARK(BM_BareRoundTrip)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExchangeReading)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    const TMedianReporter reporter = RunBenchmarks(argc, argv);
    double exchange = 0, baseline = 0;
    if (MedianPair(reporter.Medians, "BM_ExchangeReading", "BM_BareRoundTrip", exchange, baseline))
        std::printf("\nexchange without pauses: median %.1f us = %.2f x the bare round trip (%.1f us); "
                    "target under 1000 us\n",
                    exchange, exchange / baseline, baseline);
    return 0;
}
