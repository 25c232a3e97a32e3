// SPDX-License-Identifier: Apache-2.0
// Saving a million readings as CSV, against Python's csv module writing the same
// rows in the same run (bench/csv_bench.py), both with and without the flush to
// the disk. Prints the ratios at the end. Linux only (popen, POSIX files).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include "readings/csv_writer.h"
#include "readings/reading_row.h"

namespace fs = std::filesystem;

namespace {

constexpr int ReadingCount = 1000000;

const fs::path &Folder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / "csv-bench";
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

TRegionalSettings UnitedStates()
{
    return TRegionalSettings{};  // ",", ".", M/d/yyyy, h:mm:ss tt
}

// Plausible rows as the table holds them after a long unattended run.
const TReadingsTable &Table()
{
    static const TReadingsTable table = [] {
        TReadingsTable t(1);
        SetUpReadingsTable(t, false);
        t.Reserve(ReadingCount);  // appending one row at a time would re-allocate on every row
        const TRegionalSettings settings = UnitedStates();
        for (int i = 1; i <= ReadingCount; ++i) {
            const double wave = (i % 97) / 10.0;
            t.AppendRow({std::to_string(i), "R2", FormatOneDecimal(10.0 + wave, '.'), FormatOneDecimal(18.0 + wave / 3, '.'),
                         FormatOneDecimal(11.0 + wave / 5, '.'), FormatOneDecimal(1.5 + wave / 9, '.'),
                         FormatOneDecimal(13.0 + wave / 7, '.'), FormatOneDecimal(67.0 - wave, '.'), "123456",
                         FormatDateTimeCell(43997.0 + i / 86400.0, settings)});
        }
        return t;
    }();
    return table;
}

constexpr double Never = std::numeric_limits<double>::max();
double bestSave = Never;          // SaveCsv: written and flushed to the disk
double bestUnsynced = Never;      // the same bytes written to a file, no flush
double bestPythonSynced = Never;
double bestPythonUnsynced = Never;
double bestUnsyncedProcessor = Never;  // processor time of the unflushed runs
double bestPythonProcessor = Never;

double ProcessorSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
long lastWriteCalls = 0;
std::uintmax_t fileBytes = 0;

void SaveCsvMillionRows(benchmark::State &state)
{
    const TReadingsTable &table = Table();
    const std::string path = (Folder() / "ours.csv").string();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        SaveCsv(table, false, path, UnitedStates());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        bestSave = std::min(bestSave, seconds);
    }
    fileBytes = fs::file_size(path);
    state.counters["MB"] = static_cast<double>(fileBytes) / 1e6;
}
BENCHMARK(SaveCsvMillionRows)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The writer's bytes into a plain file and closed, without the flush to the disk:
// what Python's unflushed run below does.
void WriteCsvToFileUnsynced(benchmark::State &state)
{
    const TReadingsTable &table = Table();
    const std::string path = (Folder() / "unsynced.csv").string();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double processorStart = ProcessorSeconds();
        const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (descriptor < 0) {
            state.SkipWithError("cannot open the file");
            return;
        }
        WriteCsv(table, false, UnitedStates(), [&](std::string_view piece) {
            while (!piece.empty()) {
                const ssize_t written = write(descriptor, piece.data(), piece.size());
                if (written <= 0)
                    throw std::runtime_error("write failed");
                piece.remove_prefix(static_cast<std::size_t>(written));
            }
        });
        close(descriptor);
        bestUnsyncedProcessor = std::min(bestUnsyncedProcessor, ProcessorSeconds() - processorStart);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        bestUnsynced = std::min(bestUnsynced, seconds);
        fs::remove(path);
    }
}
BENCHMARK(WriteCsvToFileUnsynced)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The same bytes to a sink that only counts: the formatting alone, and how many
// writes the file gets.
void WriteCsvToCountingSink(benchmark::State &state)
{
    const TReadingsTable &table = Table();
    for (auto _ : state) {
        long calls = 0;
        std::size_t bytes = 0;
        WriteCsv(table, false, UnitedStates(), [&](std::string_view piece) {
            ++calls;
            bytes += piece.size();
        });
        benchmark::DoNotOptimize(bytes);
        lastWriteCalls = calls;
    }
    state.counters["writes"] = static_cast<double>(lastWriteCalls);
}
BENCHMARK(WriteCsvToCountingSink)->Unit(benchmark::kMillisecond)->Iterations(5);

void PythonCsvModuleSameRows(benchmark::State &state)
{
    const fs::path rows = Folder() / "ours.csv";
    if (!fs::exists(rows))
        SaveCsv(Table(), false, rows.string(), UnitedStates());
    const std::string command = "/usr/bin/python3 " + (fs::path(__FILE__).parent_path() / "csv_bench.py").string() + " " + rows.string() + " " +
                                (Folder() / "python.csv").string();
    for (auto _ : state) {
        FILE *pipe = popen(command.c_str(), "r");
        double unsynced = -1, seconds = -1, processor = -1;
        if (pipe == nullptr || std::fscanf(pipe, "%lf %lf %lf", &unsynced, &seconds, &processor) != 3) {
            if (pipe)
                pclose(pipe);
            state.SkipWithError("python3 did not run");
            return;
        }
        pclose(pipe);
        state.SetIterationTime(seconds);
        bestPythonSynced = std::min(bestPythonSynced, seconds);
        bestPythonUnsynced = std::min(bestPythonUnsynced, unsynced);
        bestPythonProcessor = std::min(bestPythonProcessor, processor);
    }
}
BENCHMARK(PythonCsvModuleSameRows)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Table();  // built once, outside every timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (bestSave != Never && bestPythonSynced != Never)
        std::cout << "\nFlushed to the disk: SaveCsv best " << bestSave * 1000 << " ms, Python csv best "
                  << bestPythonSynced * 1000 << " ms, ratio " << bestPythonSynced / bestSave << "\n";
    if (bestUnsynced != Never && bestPythonUnsynced != Never)
        std::cout << "Not flushed: writer best " << bestUnsynced * 1000 << " ms, Python csv best " << bestPythonUnsynced * 1000
                  << " ms, ratio " << bestPythonUnsynced / bestUnsynced << "\n";
    if (bestUnsyncedProcessor != Never && bestPythonProcessor != Never)
        std::cout << "Processor time, not flushed: writer best " << bestUnsyncedProcessor * 1000 << " ms, Python csv best "
                  << bestPythonProcessor * 1000 << " ms, ratio " << bestPythonProcessor / bestUnsyncedProcessor << "\n";
    std::cout << lastWriteCalls << " writes for " << fileBytes << " bytes\n";
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
    return 0;
}
