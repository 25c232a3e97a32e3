// SPDX-License-Identifier: Apache-2.0
// The acquisition worker: the program's one background thread, owner of the
// Bluetooth side. It waits for Start and Stop, and while acquisition is on runs
// discovery, link and exchange one cycle after another, handing everything it
// wants shown to the interface thread.
#pragma once

#include "link/meter_link.h"
#include "link/worker_host.h"
#include "platform/threads/event.h"
#include "platform/threads/recursive_lock.h"
#include "platform/threads/thread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

class TSynchronizer;

// The command word (FCommand) that the interface thread posts: 1 start, 2 stop.
enum class TWorkerCommand : std::int32_t { None = 0, Start = 1, Stop = 2 };

// Made, started and ended by its owner, TWorkerOwner (link/worker_owner.h), on
// the interface thread (the synchronizer's): the object must outlive its thread,
// and only Shutdown knows when the thread has ended.
class GLAXBTthr : public TThread, public TMeterLink {
public:
    // Creates the thread suspended; Start() runs it. `host`, the route and
    // discovery of `way` and `synchronizer` must outlive the worker, and so
    // must `trace`, where the worker tells what its link does and what came of
    // each message (null: no trace).
    GLAXBTthr(IWorkerHost &host, const TMeterWay &way, TSynchronizer &synchronizer,
              TTraceFile *trace = ProgramLinkTrace());
    // Only after Shutdown(): the thread has ended by then.
    ~GLAXBTthr() override = default;

    // Interface thread. Each posts its command only when none is pending.
    void RequestStart();
    // Also calls the host's ShowStopOverlay, directly, when the stop is posted.
    void RequestStop();
    bool IsActive() const;
    // How often the worker has looked at its commands, from any thread: once
    // it has gone up twice, whatever the worker was about to do on its own
    // has been done.
    std::uint64_t CommandChecks() const { return FCommandChecks.load(); }
    // Interface thread: sets the stop event and waits for the thread's end,
    // running hand-offs meanwhile. The owner destroys the object afterwards.
    // With a deadline the wait ends then at the latest, and false says that
    // the thread still runs (in a search or a connection that the system does
    // not let go of): the object must then live as long as the process.
    bool Shutdown(std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

protected:
    void Execute() override;

private:
    // Runs one of the hand-offs below on the interface thread and waits for it.
    void HandOff(void (GLAXBTthr::*step)());
    // The hand-offs; they run on the interface thread while the worker waits.
    void ShowIndicator();
    void ShowRunState();
    void ShowNoRadioError();
    void ProcessReading();

    // Execute's parts.
    void TakeUpCommand();
    void DropStaleCommand();
    void Search();
    void ConnectAndExchange();
    void PauseBeforeRetry();
    // Waits for the shutdown's stop event; when it comes, goes idle and ends
    // the thread's loop, and returns true.
    bool EndedByShutdown(std::uint32_t milliseconds);
    void GoIdle();
    void SetIndicator(TColor color);

    IWorkerHost &FHost;
    TSynchronizer &FSynchronizer;
    TEvent FStopEvent;  // auto-reset; set only by Shutdown
    TRecursiveLock FLock;  // entered by the worker thread only
    // Each a single 32-bit word, read and written in one atomic access.
    std::atomic<TRunState> FState{TRunState::Idle};
    std::atomic<TWorkerCommand> FCommand{TWorkerCommand::None};
    std::atomic<std::uint64_t> FCommandChecks{0};
    // Readings the host has taken: the last one's row number. Interface
    // thread, inside ProcessReading.
    int FRowsAdded = 0;
};

// The program-wide reference to the one worker; its owner sets and empties it.
extern GLAXBTthr *BTthr;
