// SPDX-License-Identifier: Apache-2.0
#include "link/worker_owner.h"

#include <stdexcept>

TWorkerOwner::~TWorkerOwner()
{
    Shutdown();
}

void TWorkerOwner::Start(IWorkerHost &host, const TMeterWay &way, TSynchronizer &synchronizer, TTraceFile *trace)
{
    if (FWorker != nullptr || BTthr != nullptr)
        throw std::logic_error("the acquisition worker exists already");
    FWorker = std::make_unique<GLAXBTthr>(host, way, synchronizer, trace);
    BTthr = FWorker.get();
    try {
        FWorker->Start();
    } catch (...) {
        Shutdown();  // never started: nothing to wait for
        throw;
    }
}

void TWorkerOwner::Shutdown()
{
    End(std::nullopt);
}

bool TWorkerOwner::ShutdownBy(std::chrono::steady_clock::time_point deadline)
{
    return End(deadline);
}

bool TWorkerOwner::End(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    // Taken out first: a hand-off that the wait below runs may end the worker
    // too (a close that comes while it waits), and must find nothing to end.
    std::unique_ptr<GLAXBTthr> worker = std::move(FWorker);
    if (worker == nullptr)
        return true;
    const bool ended = worker->Shutdown(deadline);
    if (BTthr == worker.get())
        BTthr = nullptr;
    if (!ended)
        (void)worker.release();  // its thread may still use it until the process ends
    return ended;
}
