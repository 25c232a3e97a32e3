// SPDX-License-Identifier: Apache-2.0
// What the trace (--trace FILE) costs per reading: one whole cycle of the link
// against the simulated computer - discovery, connection, exchange, parse and
// the outcome line, link closed - without a trace and with one, in the same
// run. The simulated radios answer at once and the exchange's two fixed 200 ms
// pauses are scaled to zero, so the cycle is as short as it can be and the
// trace's share as large as it can be; a real cycle lasts over 4 s.
#include "bench/median_reporter.h"
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "link/parse_reading.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "platform/files/trace_file.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <utility>
#include <memory>
#include <string>

namespace {

void ReadingCycles(benchmark::State &state, bool traced)
{
    TPauseScaleGuard noPauses(0);
    TMeterOptions options;
    options.Record = false;  // thousands of readings: keep no record
    TSimulatedMeter meter(options);
    TSimulatedBluetooth computer(TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView), meter,
                                 std::chrono::milliseconds(0));
    computer.KeepRecords(false);
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "meter-readout-trace-bench.txt";
    std::filesystem::remove(path);
    std::unique_ptr<TTraceFile> trace = traced ? std::make_unique<TTraceFile>(path.string()) : nullptr;
    TMeterLink link(TMeterWay{&computer, &computer}, [] {}, trace.get());

    int rows = 0;
    for (auto _ : state) {
        if (!link.FindMeter() || !link.OpenLink()) {
            state.SkipWithError("no link to the simulated meter");
            break;
        }
        const bool exchanged = link.ExchangeReading(ReadingMessageSize);
        if (exchanged) {
            // As the worker's ProcessReading does, outcome line included.
            const TReading reading = ParseReading(link.Buffer().data(), ReadingMessageSize, U'.');
            benchmark::DoNotOptimize(reading);
            ++rows;
            if (trace)
                trace->Write("accepted as row " + std::to_string(rows));
        }
        link.CloseLink();
        if (!exchanged) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    if (trace)
        state.counters["trace_bytes_per_reading"] =
            static_cast<double>(std::filesystem::file_size(path)) / std::max(rows, 1);
    trace.reset();
    std::filesystem::remove(path);
}

void BM_ReadingUntraced(benchmark::State &state)
{
    ReadingCycles(state, false);
}

void BM_ReadingTraced(benchmark::State &state)
{
    ReadingCycles(state, true);
}

BENCHMARK(BM_ReadingUntraced)->Repetitions(10)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadingTraced)->Repetitions(10)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    const TMedianReporter reporter = RunBenchmarks(argc, argv);
    std::printf("\n");
    for (const auto &[medians, what] : {std::pair{&reporter.Medians, "time"},
                                        std::pair{&reporter.CpuMedians, "processor time of the link's thread"}}) {
        double on = 0, off = 0;
        if (MedianPair(*medians, "BM_ReadingTraced", "BM_ReadingUntraced", on, off))
            std::printf("%s per reading with the trace on: median %.1f us = %.3f x the same reading without it "
                        "(%.1f us), %.1f us more\n",
                        what, on, on / off, off, on - off);
    }
    return 0;
}
