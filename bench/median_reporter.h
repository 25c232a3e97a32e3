// SPDX-License-Identifier: Apache-2.0
// A console reporter that also keeps each benchmark's median, so that a
// benchmark program can print its figure as a ratio to a baseline of the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TMedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                Medians[run.run_name.function_name] = run.GetAdjustedRealTime();
                CpuMedians[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Medians;     // real time, in the benchmarks' time unit
    std::map<std::string, double> CpuMedians;  // the benchmark thread's processor time
};

// Runs the benchmarks the command line selects, reported as usual, and
// returns their medians.
inline TMedianReporter RunBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    TMedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter;
}

// The medians of a benchmark and of its baseline; false when either did not run.
inline bool MedianPair(const std::map<std::string, double> &medians, const std::string &name,
                       const std::string &baseline, double &median, double &baselineMedian)
{
    const auto found = medians.find(name);
    const auto base = medians.find(baseline);
    if (found == medians.end() || base == medians.end() || base->second <= 0)
        return false;
    median = found->second;
    baselineMedian = base->second;
    return true;
}
