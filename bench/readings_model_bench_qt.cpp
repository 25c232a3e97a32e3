// SPDX-License-Identifier: Apache-2.0
// Appending a long unattended run's readings to the table model, against the
// same rows kept as joined strings: time, and peak resident memory per row.
// Compare the CPU times of the two cases of one run; the machine is shared.
#include "bench/peak_memory.h"
#include "readings/qt/readings_model.h"
#include "readings/reading_row.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 1'000'000;

TReading ReadingNumber(int i)
{
    TReading r;
    std::memcpy(r.Range.data(), "AB1", 3);
    std::memcpy(r.Serial.data(), "123456", 6);
    for (auto &raw : r.IR)
        std::memcpy(raw.data(), "1234567", 7);
    r.Moisture = 10 + (i % 1000) * 0.01;
    r.Temperature = 20 + (i % 100) * 0.1;
    r.Protein = 12.3, r.Oil = 4.5, r.Water = 13, r.Starch = 60.1;
    TDateTimeParts p;
    p.Year = 2024, p.Month = 3, p.Day = 1, p.Hour = 8;
    r.Timestamp = EncodeDateTime(p) + i / 86400.0;
    return r;
}

void ReportMemory(benchmark::State &state, long before)
{
    state.counters["peak_bytes_per_row"] =
        benchmark::Counter(static_cast<double>(PeakResidentKilobytes() - before) * 1024.0 / kRows);
}

void AppendToModel(benchmark::State &state)
{
    const TRegionalSettings settings;
    long before = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetPeakResident();
        before = PeakResidentKilobytes();
        {
            TReadingsModel model(state.range(0) != 0);
            state.ResumeTiming();
            for (int i = 0; i < kRows; ++i)
                model.AddReading(ReadingNumber(i), settings);
            state.PauseTiming();
            ReportMemory(state, before);
        }
        state.ResumeTiming();
    }
}
BENCHMARK(AppendToModel)->Arg(0)->Arg(1)->ArgName("clb")->Iterations(1)->Unit(benchmark::kMillisecond);

// Baseline: the same cells formatted, joined and kept one string per row.
void AppendJoinedStrings(benchmark::State &state)
{
    const TRegionalSettings settings;
    const bool clbMode = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetPeakResident();
        const long before = PeakResidentKilobytes();
        {
            std::vector<std::string> rows;
            state.ResumeTiming();
            for (int i = 0; i < kRows; ++i) {
                std::string joined;
                for (const std::string &cell : ReadingRowCells(i + 1, ReadingNumber(i), clbMode, settings)) {
                    joined += cell;
                    joined += '\t';
                }
                rows.push_back(std::move(joined));
            }
            state.PauseTiming();
            ReportMemory(state, before);
        }
        state.ResumeTiming();
    }
}
BENCHMARK(AppendJoinedStrings)->Arg(0)->Arg(1)->ArgName("clb")->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
