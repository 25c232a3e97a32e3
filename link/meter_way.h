// SPDX-License-Identifier: Apache-2.0
// How the link reaches the meter: the route that opens a byte stream for each
// reading cycle and, for the routes that need one (Bluetooth), the discovery
// that finds the device first, by the meter's name or by an address the
// operator pinned.
#pragma once

#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/streams/byte_stream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

struct TMeterWay {
    TMeterWay() = default;
    TMeterWay(IBluetoothDiscovery *discovery, IMeterRoute *route, std::optional<std::uint64_t> pinnedAddress = {},
              std::string routeName = {})
        : Discovery(discovery), Route(route), PinnedAddress(pinnedAddress), RouteName(std::move(routeName))
    {
    }

    // Null: the route leads to the meter without a search (TCP, serial port).
    IBluetoothDiscovery *Discovery = nullptr;
    IMeterRoute *Route = nullptr;
    // Discovery takes the device at this address, whatever its name.
    std::optional<std::uint64_t> PinnedAddress;
    // Where a route without discovery leads, for the trace: "tcp:host:5000".
    std::string RouteName;
};
