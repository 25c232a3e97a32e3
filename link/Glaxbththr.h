// The acquisition worker: the program's one background thread, owner of the
// Bluetooth side. It waits for Start and Stop, and while acquisition is on runs
// discovery, link and exchange one cycle after another, handing everything it
// wants shown to the interface thread.
#pragma once

#include "link/meter_link.h"
#include "link/worker_host.h"
#include "platform/thread.h"

#include <atomic>
#include <cstdint>

class TSynchronizer;

class GLAXBTthr : public TThread, public TMeterLink {
public:
    // Creates the thread suspended; Start() runs it.
    GLAXBTthr(IWorkerHost &host, IBluetoothPlatform &platform, TSynchronizer &synchronizer);
    ~GLAXBTthr() override;

    void RequestStart();
    // Also calls the host's ShowStopOverlay, directly, when the stop is posted.
    void RequestStop();
    bool IsActive() const;
    // Sets the stop event, waits for the thread's end running hand-offs
    // meanwhile, then destroys this object (which empties BTthr).
    void Shutdown();

protected:
    void Execute() override;
};

// The program-wide reference to the one worker.
extern GLAXBTthr *BTthr;
