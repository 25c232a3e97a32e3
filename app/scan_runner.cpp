// SPDX-License-Identifier: Apache-2.0
#include "app/scan_runner.h"

#include "app/console_output.h"
#include "link/meter_identity.h"
#include "link/meter_scan.h"

namespace {

// The serial ports, each with the option that uses it; a port of a Bluetooth
// device names the device.
std::string SerialPortReport(const std::vector<TSerialPortInfo> &ports)
{
    if (ports.empty())
        return "serial ports: none\n";
    std::string report = "serial ports:\n";
    for (const TSerialPortInfo &port : ports) {
        report += "  --meter serial:" + port.Port + "  " + port.Description;
        if (port.BluetoothAddress)
            report += ", Bluetooth device " + BluetoothAddressText(*port.BluetoothAddress);
        report += "\n";
    }
    return report;
}

} // namespace

int RunScan(const TCommandLine &line, TMeterBackend &backend, std::FILE *out, std::FILE *messages)
{
    // A meter on a serial port needs no radio: the ports come either way.
    const std::string ports = backend.SerialPorts ? SerialPortReport(backend.SerialPorts()) : std::string();
    if (backend.Discovery == nullptr) {
        const bool serial = line.Meter && line.Meter->Kind == TMeterRouteKind::Serial;
        const char *through = serial ? "  the meter, through a serial port: no radio to search\n"
                                     : "  the meter, through a serial-to-network bridge: no radio to search\n";
        WriteOutput(out, line.MeterAddress + through + (serial ? ports : std::string()), TTextEncoding::Utf8);
        return ScanMeterListed;
    }
    const std::string sought = backend.PinnedAddress ? "the device at " + BluetoothAddressText(*backend.PinnedAddress)
                                                     : QuotedName(MeterDeviceNameView);
    WriteOutput(out, "Searching every radio for " + sought + " as acquisition does (about 4 s per radio) ...\n",
                TTextEncoding::Utf8);
    const TScanResult scan = ScanRadios(*backend.Discovery);
    if (scan.Radios.empty()) {
        WriteOutput(out, ports, TTextEncoding::Utf8);
        WriteOutput(messages, "BT module not enabled or not installed\n", TTextEncoding::Utf8);
        return ScanNoRadio;
    }
    WriteOutput(out, ScanReport(scan, backend.PinnedAddress) + ports, TTextEncoding::Utf8);
    return scan.MeterListed(backend.PinnedAddress) ? ScanMeterListed : ScanMeterNotListed;
}
