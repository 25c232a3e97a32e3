// SPDX-License-Identifier: Apache-2.0
// One discovery's walk over the platform: every radio in the platform's order
// and, on each, every device that its search lists, in the platform's order.
// The search asks for the devices the radio remembers and those that answer a
// new inquiry of 3 x 1.28 s. Acquisition (FindMeter) and the scan both walk
// this way, so the scan sees exactly what acquisition sees.
#pragma once

#include "platform/bluetooth/bluetooth_discovery.h"

#include <cstdint>
#include <functional>
#include <optional>

class TTraceFile;

struct TDiscoveryVisitor {
    // Each radio, before its search, while its handle is open; may be empty.
    std::function<void(TRadioHandle radio)> Radio;
    // Each device listed; true ends the walk at this device.
    std::function<bool(const TBluetoothDeviceInfo &device)> Device;
};

struct TDiscoveryWalk {
    bool RadioFound = false;  // the platform had at least one radio
    int RadiosSearched = 0;
    int DevicesListed = 0;
};

// Every handle the walk opens is closed on every path: a radio's handle as
// soon as its search is over, and when a device ends the walk its device-find
// handle, its radio's handle and the radio-find handle, in this order.
//
// With a trace, the walk's start and end go to it: how long it took, the
// radios searched, the devices listed, the first device with the meter's name
// (with `pinned`: at that address) or the near misses of the name.
TDiscoveryWalk WalkDiscovery(IBluetoothDiscovery &platform, const TDiscoveryVisitor &visitor, TTraceFile *trace,
                             std::optional<std::uint64_t> pinned = std::nullopt);
