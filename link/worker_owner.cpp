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
    // Taken out first: a hand-off that the wait below runs may end the worker
    // too (a close that comes while it waits), and must find nothing to end.
    const std::unique_ptr<GLAXBTthr> worker = std::move(FWorker);
    if (worker == nullptr)
        return;
    worker->Shutdown();
    if (BTthr == worker.get())
        BTthr = nullptr;
}
