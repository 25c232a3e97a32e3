#include "app/scan_runner.h"

#include "app/console_output.h"
#include "link/meter_identity.h"
#include "link/meter_scan.h"

int RunScan(const TCommandLine &line, TMeterBackend &backend, std::FILE *out, std::FILE *messages)
{
    if (!line.MeterAddress.empty()) {
        WriteOutput(out, line.MeterAddress + "  the meter, through a serial-to-network bridge: no radio to search\n",
                    TTextEncoding::Utf8);
        return ScanMeterListed;
    }
    WriteOutput(out,
                "Searching every radio for " + QuotedName(MeterDeviceNameView) +
                    " as acquisition does (about 4 s per radio) ...\n",
                TTextEncoding::Utf8);
    const TScanResult scan = ScanRadios(*backend.Discovery);
    if (scan.Radios.empty()) {
        WriteOutput(messages, "BT module not enabled or not installed\n", TTextEncoding::Utf8);
        return ScanNoRadio;
    }
    WriteOutput(out, ScanReport(scan), TTextEncoding::Utf8);
    return scan.MeterListed() ? ScanMeterListed : ScanMeterNotListed;
}
