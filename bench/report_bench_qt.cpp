// SPDX-License-Identifier: Apache-2.0
// Preparing and printing the readings report to PDF for 10,000 readings. The
// baseline is preparing alone, measured in the same run; the peak resident size
// (VmHWM) is reported as a counter.
#include "bench/peak_memory.h"
#include "readings/qt/readings_report.h"
#include "readings/reading_columns.h"

#include <QDir>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr int kReadings = 10000;

TReadingsTable MakeTable()
{
    TReadingsTable table(NormalColumnCount);
    const char *headers[] = {"   No.", "   Range", "   Moisture [%]", "   Temp [\u00B0C]", "   Protein [%]",
                             "   Oil [%]", "   Water [%]", "   Starch [%]", "   Ser. no.", "   Date/Time"};
    for (int column = 0; column < NormalColumnCount; ++column)
        table.SetHeader(column, headers[column]);
    for (int i = 1; i <= kReadings; ++i) {
        const std::string tenth = std::to_string(i % 10);
        table.AppendRow({std::to_string(i), "W1", "1" + std::to_string(i % 9) + "." + tenth,
                         "2" + std::to_string(i % 7) + "." + tenth, "11." + tenth, "1." + tenth, "13." + tenth,
                         "68." + tenth, "004217", "3/5/2024 2:" + std::to_string(10 + i % 50) + ":09 PM"});
    }
    return table;
}

const TReadingsTable &Table()
{
    static const TReadingsTable table = MakeTable();
    return table;
}

// Peak resident memory in MiB.
double PeakResidentMiB()
{
    return static_cast<double>(PeakResidentKilobytes()) / 1024.0;
}

void BM_PrepareOnly(benchmark::State &state)
{
    std::size_t pages = 0;
    for (auto _ : state) {
        TReadingsReport report(Table());
        report.frxReport1.ProcessMessages = nullptr;
        report.frxReport1.PrepareReport(true);
        pages = report.frxReport1.PreparedPages().size();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["VmHWM_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_PrepareOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrepareAndWritePdf(benchmark::State &state)
{
    const std::string path = QDir::temp().filePath("report_bench.pdf").toStdString();
    for (auto _ : state) {
        std::remove(path.c_str());  // the report is always a new file
        WriteReportPdf(Table(), path);
    }
    std::ifstream pdf(path, std::ios::binary | std::ios::ate);
    state.counters["pdf_MiB"] = static_cast<double>(pdf.tellg()) / (1024.0 * 1024.0);
    state.counters["VmHWM_MiB"] = PeakResidentMiB();
    std::remove(path.c_str());
}
BENCHMARK(BM_PrepareAndWritePdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    Table();  // built before any timing
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
