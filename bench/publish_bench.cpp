// SPDX-License-Identifier: Apache-2.0
// What publishing costs the reading cycle, and how fast a reading reaches a
// consumer. Linux only: it starts a mosquitto broker of its own (TLS,
// passwords), as the tests do.
//
// CycleLatency: from the simulated meter's send to the end of the reading's
// hand-off (table, journal, and with publishing the outbox), which the worker
// waits for before its next exchange; publishing off and on in the same run,
// against the exchange's fixed 200 ms pause in that stretch. The ratio on/off
// is what publishing adds to the cycle.
//
// AcceptanceToArrival: from the hand-off's Publish to the subscriber's receipt
// of the message, over TLS on loopback, one reading at a time.
#include "link/meter_identity.h"
#include "link/meter_wire.h"
#include "link/worker_owner.h"
#include "platform/sockets/host_name.h"
#include "platform/text/regional_settings.h"
#include "platform/threads/synchronize.h"
#include "publish/publisher.h"
#include "readings/reading_arrival.h"
#include "readings/reading_columns.h"
#include "readings/reading_row.h"
#include "readings/readings_table.h"
#include "readings/session_journal.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "tests/support/mqtt_broker_posix.h"
#include "tests/support/mqtt_subscriber_posix.h"
#include "tests/support/scratch_folder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

class TQuietListener : public IPublishListener {
public:
    void BrokerStateChanged(const TBrokerState &) override {}
    void BrokerProblem(const std::string &) override {}
};

TPublishOptions Options(const TMqttBroker &broker, const std::string &folder)
{
    TPublishOptions options;
    options.Broker = {true, TMqttBroker::Address, broker.TlsPort(), TMqttBroker::Prefix};
    options.User = TMqttBroker::User;
    options.Password = TMqttBroker::Password;
    options.CaFile = broker.CaFile();
    options.OutboxFolder = folder;
    return options;
}

// The window's hand-off without the window: table, journal, then the publisher.
class TBenchHost : public IWorkerHost {
public:
    TBenchHost(const std::string &journalFolder, TPublisher *publisher)
        : FTable(ColumnCountFor(false)), FJournal({true, journalFolder}, LocalNowParts(), false), FPublisher(publisher)
    {
        SetUpReadingsTable(FTable, false);
    }
    void ShowIndicator(TColor) override {}
    void ShowRunState(TRunState) override {}
    void ShowNoRadioError() override {}
    void ShowStopOverlay() override {}
    void AddReading(const TReading &reading) override
    {
        const auto appendRow = [&](const TRegionalSettings &settings) {
            return AddReadingToTable(FTable, reading, false, settings);
        };
        const TArrivedReading arrived = ReadingReachesTable(appendRow, FTable, FJournal);
        if (FPublisher != nullptr)
            FPublisher->Publish(arrived.Row, reading, FJournal.Path());
        std::lock_guard lock(FMutex);
        FDone.push_back(TClock::now());
    }
    std::vector<TClock::time_point> Done()
    {
        std::lock_guard lock(FMutex);
        return FDone;
    }

private:
    TReadingsTable FTable;
    TSessionJournal FJournal;
    TPublisher *FPublisher;
    std::mutex FMutex;
    std::vector<TClock::time_point> FDone;
};

// Mean milliseconds from each reading message's send to its hand-off's end.
double MeanCycleLatencyMs(TPublisher *publisher, const std::string &journalFolder, std::size_t readings)
{
    TSynchronizer sync;
    TSimulatedMeter meter;
    TSimulatedBluetooth computer{TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView), meter, 0ms};
    computer.KeepRecords(false);
    TBenchHost host(journalFolder, publisher);
    TWorkerOwner worker;
    worker.Start(host, TMeterWay(&computer, &computer), sync);
    BTthr->RequestStart();
    const auto deadline = TClock::now() + 120s;
    while (host.Done().size() < readings && TClock::now() < deadline) {
        if (sync.WaitForPending(10ms))
            sync.CheckSynchronize();
    }
    worker.Shutdown();
    std::vector<TClock::time_point> sent;
    for (const TTrafficEvent &event : meter.Traffic())
        if (event.Kind == TTrafficEvent::TKind::Sent && event.Bytes.size() == ReadingMessageSize)
            sent.push_back(event.Time);
    const std::vector<TClock::time_point> done = host.Done();
    const std::size_t n = std::min(sent.size(), done.size());
    double total = 0;
    for (std::size_t i = 0; i < n; ++i)
        total += std::chrono::duration<double, std::milli>(done[i] - sent[i]).count();
    return n > 0 ? total / static_cast<double>(n) : 0;
}

void CycleLatency(benchmark::State &state)
{
    constexpr std::size_t Readings = 10;
    constexpr double FixedPauseMs = 200.0;
    InitialisePublishing();
    TMqttBroker broker;
    broker.Start();
    for (auto _ : state) {
        double off = 0, on = 0;
        // Alternating, so that a busy moment of the machine falls on both.
        for (int round = 0; round < 2; ++round) {
            TScratchFolder withoutFolder("publish-bench-off");
            off += MeanCycleLatencyMs(nullptr, withoutFolder.Path().string(), Readings) / 2;
            TScratchFolder withFolder("publish-bench-on");
            TQuietListener listener;
            TPublisher publisher(Options(broker, withFolder.Path().string()),
                                 {LocalNowParts(), HostName(), "meter-readout bench", false}, listener);
            on += MeanCycleLatencyMs(&publisher, withFolder.Path().string(), Readings) / 2;
        }
        state.counters["cycle_latency_off_ms"] = off;
        state.counters["cycle_latency_on_ms"] = on;
        state.counters["on_over_off"] = on / off;
        state.counters["off_over_fixed_pause"] = off / FixedPauseMs;
    }
}
BENCHMARK(CycleLatency)->Iterations(1)->Unit(benchmark::kSecond);

void AcceptanceToArrival(benchmark::State &state)
{
    constexpr int Readings = 50;
    InitialisePublishing();
    TMqttBroker broker;
    broker.Start();
    TMqttSubscriber subscriber(broker.PlainPort(), "lab/+/reading");
    TScratchFolder folder("publish-bench-arrival");
    TQuietListener listener;
    TPublisher publisher(Options(broker, folder.Path().string()),
                         {LocalNowParts(), HostName(), "meter-readout bench", false}, listener);
    TReading reading;
    for (auto _ : state) {
        std::vector<double> ms;
        for (int row = 1; row <= Readings; ++row) {
            const auto begin = TClock::now();
            publisher.Publish(row, reading, folder.File("readings-bench.csv"));
            subscriber.WaitFor([row](const std::vector<TArrivedMessage> &arrived) {
                return static_cast<int>(arrived.size()) >= row;
            });
            ms.push_back(std::chrono::duration<double, std::milli>(TClock::now() - begin).count());
        }
        std::sort(ms.begin(), ms.end());
        double total = 0;
        for (double m : ms)
            total += m;
        state.counters["arrival_mean_ms"] = total / Readings;
        state.counters["arrival_median_ms"] = ms[Readings / 2];
        state.counters["arrival_worst_ms"] = ms.back();
    }
}
BENCHMARK(AcceptanceToArrival)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
