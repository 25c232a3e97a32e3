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
