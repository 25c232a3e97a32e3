#include "app/scan_runner.h"

#include "app/console_output.h"
#include "link/meter_identity.h"
#include "link/meter_scan.h"

int RunScan(const TCommandLine &line, TMeterBackend &backend, std::FILE *out, std::FILE *messages)
{
    if (backend.Discovery == nullptr) {
        const char *through = line.Meter && line.Meter->Kind == TMeterRouteKind::Serial
                                  ? "  the meter, through a serial port: no radio to search\n"
                                  : "  the meter, through a serial-to-network bridge: no radio to search\n";
        WriteOutput(out, line.MeterAddress + through, TTextEncoding::Utf8);
        return ScanMeterListed;
    }
    const std::string sought = backend.PinnedAddress ? "the device at " + BluetoothAddressText(*backend.PinnedAddress)
                                                     : QuotedName(MeterDeviceNameView);
    WriteOutput(out, "Searching every radio for " + sought + " as acquisition does (about 4 s per radio) ...\n",
                TTextEncoding::Utf8);
    const TScanResult scan = ScanRadios(*backend.Discovery);
    if (scan.Radios.empty()) {
        WriteOutput(messages, "BT module not enabled or not installed\n", TTextEncoding::Utf8);
        return ScanNoRadio;
    }
    WriteOutput(out, ScanReport(scan, backend.PinnedAddress), TTextEncoding::Utf8);
    return scan.MeterListed(backend.PinnedAddress) ? ScanMeterListed : ScanMeterNotListed;
}
