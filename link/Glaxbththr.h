// The acquisition worker: the program's one background thread, owner of the
// Bluetooth side. It waits for Start and Stop, and while acquisition is on runs
// discovery, link and exchange one cycle after another, handing everything it
// wants shown to the interface thread.
#pragma once

#include "link/meter_link.h"
#include "link/worker_host.h"
#include "platform/event.h"
#include "platform/recursive_lock.h"
#include "platform/thread.h"

#include <atomic>
#include <cstdint>

class TSynchronizer;

// Run states (FState) and commands (FCommand).
inline constexpr std::int32_t StateIdle = 0;
inline constexpr std::int32_t StateSearching = 1;
inline constexpr std::int32_t StateMeterFound = 2;
inline constexpr std::int32_t CommandNone = 0;
inline constexpr std::int32_t CommandStart = 1;
inline constexpr std::int32_t CommandStop = 2;

// Create with new on the interface thread (the synchronizer's), Start() it, and
// end it with Shutdown(), which deletes it: the object must outlive its thread,
// and only Shutdown knows when the thread has ended.
class GLAXBTthr : public TThread, public TMeterLink {
public:
    // Creates the thread suspended; Start() runs it. `host`, `discovery`,
    // `transport` and `synchronizer` must outlive the worker, and so must `trace`, where the worker tells what
    // its link does and what came of each message (null: no trace).
    GLAXBTthr(IWorkerHost &host, IBluetoothDiscovery &discovery, IBluetoothTransport &transport,
              TSynchronizer &synchronizer,
              TTraceFile *trace = ProgramLinkTrace());
    // Only through Shutdown(): the thread has ended by then. Empties BTthr.
    ~GLAXBTthr() override;

    // Interface thread. Each posts its command only when none is pending.
    void RequestStart();
    // Also calls the host's ShowStopOverlay, directly, when the stop is posted.
    void RequestStop();
    bool IsActive() const;
    // How often the worker has looked at its commands, from any thread: once
    // it has gone up twice, whatever the worker was about to do on its own
    // has been done.
    std::uint64_t CommandChecks() const { return FCommandChecks.load(); }
    // Interface thread: sets the stop event, waits for the thread's end running
    // hand-offs meanwhile, then destroys this object (which empties BTthr).
    void Shutdown();

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
    void SetIndicator(TColor color);

    IWorkerHost &FHost;
    TSynchronizer &FSynchronizer;
    TEvent FStopEvent;  // auto-reset; set only by Shutdown
    TRecursiveLock FLock;  // entered by the worker thread only
    std::atomic<std::int32_t> FState{StateIdle};
    std::atomic<std::int32_t> FCommand{CommandNone};
    std::atomic<std::uint64_t> FCommandChecks{0};
    // Readings the host has taken: the last one's row number. Interface
    // thread, inside ProcessReading.
    int FRowsAdded = 0;
};

// The program-wide reference to the one worker.
extern GLAXBTthr *BTthr;
