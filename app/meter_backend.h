// SPDX-License-Identifier: Apache-2.0
// Where the program looks for the meter, as the command line chooses: the
// simulated radio and meter, the platform's Bluetooth (BlueZ on Linux, the
// Windows Bluetooth API on Windows), by the meter's name or by a pinned
// address, a serial port, or a meter behind a TCP bridge.
#pragma once

#include "app/command_line.h"
#include "link/meter_way.h"
#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/serial/serial_port.h"
#include "platform/streams/byte_stream.h"
#include "sim/simulated_meter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TMeterBackend {
    std::unique_ptr<TSimulatedMeter> Meter;  // with --simulate; outlives the rest
    // Where discovery searches (null for the routes that need none) and what
    // opens the link: one object behind both for the simulated computer and
    // the platform's Bluetooth.
    std::shared_ptr<IBluetoothDiscovery> Discovery;
    std::shared_ptr<IMeterRoute> Route;
    std::optional<std::uint64_t> PinnedAddress;  // --meter bt:...
    std::string RouteName;                       // --meter as given, for the trace
    // The computer's serial ports, for --scan; empty on the simulated computer.
    std::function<std::vector<TSerialPortInfo>()> SerialPorts;
    // In a few words, for the trace: "the simulated computer", ...
    std::string Description;

    // What the worker runs over; valid while the backend lives.
    TMeterWay Way() const;
    // With --sim-messages: every record has been served and the connection that
    // carried the last one has ended.
    bool MessagesDone() const;
};

// Throws ECommandLineError for an unusable --sim-messages file, before
// anything has started.
TMeterBackend MakeMeterBackend(const TCommandLine &line);
