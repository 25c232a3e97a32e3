// Where the program looks for the meter, as the command line chooses: the
// simulated radio and meter, a meter behind a TCP bridge, or the platform's
// Bluetooth (BlueZ on Linux, the Windows Bluetooth API on Windows).
#pragma once

#include "app/command_line.h"
#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/bluetooth/bluetooth_transport.h"
#include "sim/simulated_meter.h"

#include <memory>
#include <string>

struct TMeterBackend {
    std::unique_ptr<TSimulatedMeter> Meter;  // with --simulate; outlives the rest
    // Where discovery searches and what carries the link: one object behind
    // both for the simulated computer and the platform's Bluetooth, two for TCP.
    std::shared_ptr<IBluetoothDiscovery> Discovery;
    std::shared_ptr<IBluetoothTransport> Transport;
    // In a few words, for the trace: "the simulated computer", ...
    std::string Description;

    // With --sim-messages: every record has been served and the connection that
    // carried the last one has ended.
    bool MessagesDone() const;
};

// Throws ECommandLineError for a bad --meter address or an unusable
// --sim-messages file, before anything has started.
TMeterBackend MakeMeterBackend(const TCommandLine &line);
