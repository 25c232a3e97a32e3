// SPDX-License-Identifier: Apache-2.0
// What drives the acquisition worker without windows (its platform is the
// simulated computer, sim/simulated_bluetooth.h):
// - TTestInterfaceThread: a thread that plays the interface thread, serving the
//   worker's hand-offs in a WaitForPending + CheckSynchronize loop and running
//   the test's own calls (RequestStart, Shutdown, ...) on that thread;
// - TWorkerTestHost: records every host call with its time.
#pragma once

#include "link/worker_host.h"
#include "platform/threads/synchronize.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <source_location>
#include <thread>
#include <vector>

using TTestClock = std::chrono::steady_clock;

class TTestInterfaceThread {
public:
    TTestInterfaceThread();
    ~TTestInterfaceThread();
    TTestInterfaceThread(const TTestInterfaceThread &) = delete;
    TTestInterfaceThread &operator=(const TTestInterfaceThread &) = delete;

    // Made on the interface thread, so that is its interface thread.
    TSynchronizer &Synchronizer() { return *FSynchronizer; }

    // Runs `call` on the interface thread, outside any hand-off, and waits.
    // A call that has not returned within `limit` (a worker that no longer
    // answers) ends the test program with a message that names the call's
    // place: the call may still use what its caller holds, so there is no
    // going back to the caller.
    void Run(std::function<void()> call, std::chrono::milliseconds limit = std::chrono::seconds(10),
             std::source_location where = std::source_location::current());

    // While off, the loop runs the test's calls but no hand-off, like an
    // interface thread that is busy elsewhere.
    void SetServing(bool serving);

    // Waits until a hand-off waits to be served (while serving is off); true
    // when one did within the timeout.
    bool WaitForHandOff(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    bool IsInterfaceThread() const { return std::this_thread::get_id() == FThread.get_id(); }

private:
    void Loop();
    void RunCalls();

    std::unique_ptr<TSynchronizer> FSynchronizer;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::function<void()> *> FCalls;  // guarded by FMutex
    bool FReady = false;                         // guarded by FMutex
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FServing{true};
    std::thread FThread;
};

struct THostCall {
    enum class TKind { Indicator, RunState, NoRadioError, StopOverlay, Reading };
    TKind Kind = TKind::Indicator;
    std::int64_t Value = 0;  // the colour or the state
    TReading Reading{};
    TTestClock::time_point Time;
    bool OnInterfaceThread = false;
};

class TWorkerTestHost : public IWorkerHost {
public:
    explicit TWorkerTestHost(const TTestInterfaceThread &ui) : FUi(ui) {}

    void ShowIndicator(TColor color) override;
    void ShowRunState(TRunState state) override;
    void ShowNoRadioError() override;
    void ShowStopOverlay() override;
    void AddReading(const TReading &reading) override;

    // Runs inside ShowNoRadioError, as the operator's time with the box.
    std::function<void()> OnNoRadioError;

    std::vector<THostCall> Calls() const;
    std::vector<THostCall> CallsOf(THostCall::TKind kind) const;
    std::size_t CountOf(THostCall::TKind kind) const;
    // The indicator colours in the order shown.
    std::vector<TColor> Colors() const;
    // Waits until `done(calls)` holds; true when it did within the timeout.
    bool WaitUntil(const std::function<bool(const std::vector<THostCall> &)> &done,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) const;
    bool WaitForCount(THostCall::TKind kind, std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) const;

private:
    void Record(THostCall::TKind kind, std::int64_t value = 0, const TReading &reading = {});

    const TTestInterfaceThread &FUi;
    mutable std::mutex FMutex;
    mutable std::condition_variable FChanged;
    std::vector<THostCall> FCalls;
};
