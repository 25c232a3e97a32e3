// SPDX-License-Identifier: Apache-2.0
// The scan (--scan): one discovery over every radio, walked exactly as
// acquisition walks it, that keeps everything it sees: each radio and each
// device listed, with how near each name comes to the meter's.
#pragma once

#include "link/link_trace.h"
#include "link/meter_name.h"
#include "platform/bluetooth/bluetooth_discovery.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TTraceFile;

struct TScannedDevice {
    std::u16string Name;
    std::uint64_t Address = 0;
    bool Remembered = false;
    bool Authenticated = false;
    TNameComparison Comparison;
};

struct TScannedRadio {
    bool Known = false;  // the platform told its name and address
    std::u16string Name;
    std::uint64_t Address = 0;
    std::vector<TScannedDevice> Devices;
};

struct TScanResult {
    std::vector<TScannedRadio> Radios;  // none: no radio
    // Whether acquisition would take a listed device: one named exactly as the
    // meter or, with `pinned`, the one at that address.
    bool MeterListed(std::optional<std::uint64_t> pinned = std::nullopt) const;
};

// "--meter bt:00:A4:C1:38:0F:2B": the option that makes acquisition take the
// device at `address`, whatever its name.
std::string PinningOption(std::uint64_t address);

// Searches every radio, also after the meter was found: a second meter or a
// look-alike on a later radio matters too. Discovery start and end go to the
// trace, as acquisition's do.
TScanResult ScanRadios(IBluetoothDiscovery &platform, TTraceFile *trace = ProgramLinkTrace());

// What --scan prints, one line each, UTF-8: per radio its number, name and
// address, under it per device the option that pins it, whether the computer
// remembers it or is paired with it, and its name, the meter and near misses
// marked (with `pinned`: the device at that address, and the devices named as
// the meter that are not it); last a line that says whether the meter is listed.
std::string ScanReport(const TScanResult &scan, std::optional<std::uint64_t> pinned = std::nullopt);
