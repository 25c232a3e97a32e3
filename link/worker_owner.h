// SPDX-License-Identifier: Apache-2.0
// The one owner of the acquisition worker. The worker's object must outlive its
// thread, and only Shutdown knows when the thread has ended, so one object
// creates the worker, publishes it in BTthr, starts it, and ends it through
// Shutdown: when asked, and at the latest when the owner goes.
#pragma once

#include "link/Glaxbththr.h"

#include <chrono>
#include <memory>
#include <optional>

class TWorkerOwner {
public:
    TWorkerOwner() = default;
    // Ends a worker that still runs, as Shutdown does; on the interface thread.
    ~TWorkerOwner();
    TWorkerOwner(const TWorkerOwner &) = delete;
    TWorkerOwner &operator=(const TWorkerOwner &) = delete;

    // Interface thread (the synchronizer's). Creates the worker (see GLAXBTthr
    // for the arguments), stores it in BTthr and starts its thread. When the
    // system refuses the thread, the worker goes at once, BTthr is empty again
    // and the std::system_error is raised again. The program has one worker:
    // throws std::logic_error while one exists.
    void Start(IWorkerHost &host, const TMeterWay &way, TSynchronizer &synchronizer,
               TTraceFile *trace = ProgramLinkTrace());

    // Interface thread. The worker's Shutdown (its stop event, then the wait for
    // its thread's end, running its hand-offs meanwhile); then the worker goes
    // and BTthr is empty. Does nothing when there is no worker, also when called
    // again from a hand-off that the wait runs.
    void Shutdown();
    // As Shutdown, waiting only until `deadline`. False when the worker's thread
    // still runs then: the worker is let go (BTthr is empty, the object never
    // freed), and the caller must end the process with EndProcessNow without
    // returning to anything the worker uses (the host, the synchronizer, the
    // way to the meter).
    bool ShutdownBy(std::chrono::steady_clock::time_point deadline);

    // The worker, or null before Start and after Shutdown.
    GLAXBTthr *Worker() const { return FWorker.get(); }

private:
    bool End(std::optional<std::chrono::steady_clock::time_point> deadline);

    std::unique_ptr<GLAXBTthr> FWorker;
};
