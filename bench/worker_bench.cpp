// SPDX-License-Identifier: Apache-2.0
// What the acquisition worker costs and how fast a reading reaches the table.
//
// IdleWorkerCpu: process CPU time over 10 s with an idle worker (it wakes every
// 10 ms by design to look at its command), against a baseline thread that
// just sleeps 10 s in the same run. Reported as percent of one core.
//
// ReadingLatency: from the moment the simulated meter sends a message to the
// host's AddReading, against the exchange's own fixed pause that lies in that
// stretch (200 ms between the reply wait and the first receive).
#include "link/meter_identity.h"
#include "link/worker_owner.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "platform/threads/synchronize.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

class TBenchHost : public IWorkerHost {
public:
    void ShowIndicator(TColor) override {}
    void ShowRunState(TRunState) override {}
    void ShowNoRadioError() override {}
    void ShowStopOverlay() override {}
    void AddReading(const TReading &) override
    {
        std::lock_guard lock(FMutex);
        FReadingTimes.push_back(TClock::now());
    }
    std::vector<TClock::time_point> ReadingTimes()
    {
        std::lock_guard lock(FMutex);
        return FReadingTimes;
    }

private:
    std::mutex FMutex;
    std::vector<TClock::time_point> FReadingTimes;
};

// A worker started on the simulated computer (one radio that lists the meter
// at once; each link a new connection to the simulated meter), whose
// hand-offs this thread serves. It ends, in order, with the run.
struct TBenchRun {
    TBenchRun()
    {
        Computer.KeepRecords(false);
        Worker.Start(Host, TMeterWay(&Computer, &Computer), Sync);
    }

    TSynchronizer Sync;
    TSimulatedMeter Meter;
    TSimulatedBluetooth Computer{TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView), Meter, 0ms};
    TBenchHost Host;
    TWorkerOwner Worker;
};

double CpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Serves hand-offs on this (the interface) thread for `duration`.
void Serve(TSynchronizer &sync, TClock::duration duration)
{
    const auto end = TClock::now() + duration;
    while (TClock::now() < end) {
        if (sync.WaitForPending(std::chrono::duration_cast<std::chrono::milliseconds>(end - TClock::now()) + 1ms))
            sync.CheckSynchronize();
    }
}

constexpr auto Window = 10s;

void IdleWorkerCpu(benchmark::State &state)
{
    for (auto _ : state) {
        // Baseline: a thread that just sleeps through the window.
        double begin = CpuSeconds();
        std::thread sleeper([] { std::this_thread::sleep_for(Window); });
        sleeper.join();
        const double baselineCpu = CpuSeconds() - begin;

        TBenchRun run;
        Serve(run.Sync, 100ms);  // its first hand-off, then it idles
        begin = CpuSeconds();
        Serve(run.Sync, Window);
        const double workerCpu = CpuSeconds() - begin;
        run.Worker.Shutdown();

        const double window = std::chrono::duration<double>(Window).count();
        state.counters["idle_worker_cpu_percent_of_core"] = 100.0 * workerCpu / window;
        state.counters["sleeping_thread_cpu_percent_of_core"] = 100.0 * baselineCpu / window;
        state.counters["idle_minus_baseline_percent"] = 100.0 * (workerCpu - baselineCpu) / window;
    }
}
BENCHMARK(IdleWorkerCpu)->Iterations(1)->Unit(benchmark::kSecond);

void ReadingLatency(benchmark::State &state)
{
    constexpr std::size_t Readings = 5;
    constexpr double FixedPauseMs = 200.0;  // the pause between the reply and the first receive
    for (auto _ : state) {
        TBenchRun run;
        BTthr->RequestStart();
        const auto deadline = TClock::now() + 60s;
        while (run.Host.ReadingTimes().size() < Readings && TClock::now() < deadline)
            Serve(run.Sync, 10ms);
        run.Worker.Shutdown();

        std::vector<TClock::time_point> sent;
        for (const TTrafficEvent &event : run.Meter.Traffic())
            if (event.Kind == TTrafficEvent::TKind::Sent && event.Bytes.size() == ReadingMessageSize)
                sent.push_back(event.Time);
        const std::vector<TClock::time_point> added = run.Host.ReadingTimes();
        const std::size_t n = std::min(sent.size(), added.size());
        double total = 0, worst = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double ms = std::chrono::duration<double, std::milli>(added[i] - sent[i]).count();
            total += ms;
            worst = std::max(worst, ms);
        }
        const double mean = n > 0 ? total / static_cast<double>(n) : 0;
        state.counters["readings"] = static_cast<double>(n);
        state.counters["latency_mean_ms"] = mean;
        state.counters["latency_worst_ms"] = worst;
        state.counters["fixed_pause_ms"] = FixedPauseMs;
        state.counters["latency_over_fixed_pause"] = mean / FixedPauseMs;
    }
}
BENCHMARK(ReadingLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
