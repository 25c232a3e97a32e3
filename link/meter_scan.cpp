// SPDX-License-Identifier: Apache-2.0
#include "link/meter_scan.h"

#include "link/discovery_walk.h"
#include "link/meter_identity.h"

#include <algorithm>

namespace {

// Whether the computer knows the device: a remembered device is listed also
// when it is switched off or out of reach; any other answered this inquiry.
const char *Standing(const TScannedDevice &device)
{
    if (device.Authenticated)
        return "paired        ";
    if (device.Remembered)
        return "remembered    ";
    return "not remembered";
}

bool TakenByAcquisition(const TScannedDevice &device, std::optional<std::uint64_t> pinned)
{
    return pinned ? device.Address == *pinned : device.Comparison.Likeness == TNameLikeness::Meter;
}

std::string DeviceLine(const TScannedDevice &device, std::optional<std::uint64_t> pinned)
{
    std::string line = "  " + PinningOption(device.Address) + "  " + Standing(device) + "  " + QuotedName(device.Name);
    const TNameLikeness likeness = device.Comparison.Likeness;
    if (pinned && device.Address == *pinned)
        line += "  <- the meter: its address is pinned";
    else if (pinned && likeness == TNameLikeness::Meter)
        line += "  <- named as the meter, but another address is pinned";
    else if (likeness == TNameLikeness::Meter)
        line += "  <- the meter";
    else if (likeness == TNameLikeness::NearMiss)
        line += "  <- near miss: " + device.Comparison.Difference + (pinned ? "" : "; its --meter option takes it");
    return line + "\n";
}

} // namespace

bool TScanResult::MeterListed(std::optional<std::uint64_t> pinned) const
{
    return std::any_of(Radios.begin(), Radios.end(), [pinned](const TScannedRadio &radio) {
        return std::any_of(radio.Devices.begin(), radio.Devices.end(), [pinned](const TScannedDevice &device) {
            return TakenByAcquisition(device, pinned);
        });
    });
}

std::string PinningOption(std::uint64_t address)
{
    return "--meter bt:" + BluetoothAddressText(address);
}

TScanResult ScanRadios(IBluetoothDiscovery &platform, TTraceFile *trace)
{
    TScanResult scan;
    const auto radio = [&](TRadioHandle handle) {
        TScannedRadio &scanned = scan.Radios.emplace_back();
        TBluetoothRadioInfo info;
        scanned.Known = platform.GetRadioInfo(handle, info);
        if (scanned.Known) {
            scanned.Name = NameOf(info.Name);
            scanned.Address = info.Address;
        }
    };
    const auto device = [&](const TBluetoothDeviceInfo &listed) {
        const std::u16string_view name = NameOf(listed.Name);
        scan.Radios.back().Devices.push_back(
            {std::u16string(name), listed.Address, listed.Remembered, listed.Authenticated, CompareWithMeterName(name)});
        return false;  // every device on every radio
    };
    WalkDiscovery(platform, {radio, device}, trace);
    return scan;
}

std::string ScanReport(const TScanResult &scan, std::optional<std::uint64_t> pinned)
{
    std::string report;
    int nearMisses = 0;
    for (std::size_t i = 0; i < scan.Radios.size(); ++i) {
        const TScannedRadio &radio = scan.Radios[i];
        report += "radio " + std::to_string(i + 1) + ": ";
        report += radio.Known ? QuotedName(radio.Name) + " " + BluetoothAddressText(radio.Address)
                              : std::string("(the system tells neither name nor address)");
        report += "\n";
        if (radio.Devices.empty())
            report += "  no device listed\n";
        for (const TScannedDevice &device : radio.Devices) {
            report += DeviceLine(device, pinned);
            nearMisses += device.Comparison.Likeness == TNameLikeness::NearMiss ? 1 : 0;
        }
    }
    if (pinned) {
        const std::string device = "The pinned device " + BluetoothAddressText(*pinned);
        return report + device + (scan.MeterListed(pinned) ? " is listed.\n" : " is not listed.\n");
    }
    const std::string meter = QuotedName(MeterDeviceNameView);
    if (scan.MeterListed())
        return report + "The meter " + meter + " is listed.\n";
    report += "The meter " + meter + " is not listed";
    if (nearMisses > 0)
        report += "; a near miss is no match: the name must be exactly " + meter +
                  ", or pin the device with its --meter option";
    return report + ".\n";
}
