// SPDX-License-Identifier: Apache-2.0
// --scan's exit statuses over each kind of simulated computer.
#include "app/scan_runner.h"
#include "link/meter_identity.h"
#include "sim/simulated_bluetooth.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// A file that collects what is written to it, read back as a whole.
class TCapturedOutput {
public:
    TCapturedOutput() : FFile(std::tmpfile()) {}
    ~TCapturedOutput() { std::fclose(FFile); }
    TCapturedOutput(const TCapturedOutput &) = delete;
    TCapturedOutput &operator=(const TCapturedOutput &) = delete;
    std::FILE *File() const { return FFile; }
    std::string Text() const
    {
        std::fflush(FFile);
        std::rewind(FFile);
        std::string text;
        for (int c; (c = std::fgetc(FFile)) != EOF;)
            text += static_cast<char>(c);
        return text;
    }

private:
    std::FILE *FFile;
};

TEST(ScanRunner, ExitsZeroOneOrThreeAsTheMeterIsListedOrNotOrNoRadioExists)
{
    const struct {
        const char *Label;
        TSimulatedRadios Radios;
        int Exit;
        std::string Said;  // on the report or the message stream
    } cases[] = {
        {"the meter on the second radio", TSimulatedBluetooth::MeterOnSecondRadio(MeterDeviceNameView),
         ScanMeterListed, "is listed."},
        {"a remembered meter switched off", TSimulatedBluetooth::MeterSwitchedOff(MeterDeviceNameView),
         ScanMeterListed, "<- the meter"},
        {"look-alikes only", TSimulatedBluetooth::LookAlikesOnly(MeterDeviceNameView), ScanMeterNotListed,
         "is not listed; a near miss is no match"},
        {"radios without devices", TSimulatedBluetooth::RadiosWithoutDevices(2), ScanMeterNotListed,
         "radio 2: \"simulated radio 2\" 0A:5E:00:00:00:02\n  no device listed\n"},
        {"no radio", TSimulatedBluetooth::NoRadio(), ScanNoRadio, "BT module not enabled or not installed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        auto computer = std::make_shared<TSimulatedBluetooth>(c.Radios, [] { return InvalidSocket; },
                                                              std::chrono::milliseconds(0));
        TMeterBackend backend;
        backend.Discovery = computer;
        backend.Route = computer;
        TCommandLine line;
        line.Scan = true;
        TCapturedOutput out, messages;
        EXPECT_EQ(RunScan(line, backend, out.File(), messages.File()), c.Exit);
        const std::string said = out.Text() + messages.Text();
        EXPECT_NE(said.find(c.Said), std::string::npos) << said;
        const auto counts = computer->Counts();
        EXPECT_EQ(counts.OpenHandles, 0);
        EXPECT_EQ(counts.Connects + counts.FailedConnects, 0) << "the scan connects to nothing";
    }
}

TEST(ScanRunner, ListsTheSerialPortsWithTheOptionThatUsesEach)
{
    auto computer = std::make_shared<TSimulatedBluetooth>(TSimulatedBluetooth::NoRadio(), [] { return InvalidSocket; },
                                                          std::chrono::milliseconds(0));
    const std::vector<TSerialPortInfo> ports = {
        {"COM5", "Standard Serial over Bluetooth link (COM5)", 0x00A4C1380F2Bu},
        {"/dev/ttyUSB0", "CP2102 USB to UART Bridge Controller (cp210x)", std::nullopt},
    };
    const struct {
        const char *Label;
        std::vector<TSerialPortInfo> Ports;
        std::string Listed;
    } cases[] = {
        {"a Bluetooth port and a cable adapter", ports,
         "serial ports:\n"
         "  --meter serial:COM5  Standard Serial over Bluetooth link (COM5), Bluetooth device 00:A4:C1:38:0F:2B\n"
         "  --meter serial:/dev/ttyUSB0  CP2102 USB to UART Bridge Controller (cp210x)\n"},
        {"none", {}, "serial ports: none\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TMeterBackend backend;
        backend.Discovery = computer;
        backend.Route = computer;
        backend.SerialPorts = [&] { return c.Ports; };
        TCommandLine line;
        line.Scan = true;
        TCapturedOutput out, messages;
        // No radio, yet the ports are listed: a meter on a cable needs none.
        EXPECT_EQ(RunScan(line, backend, out.File(), messages.File()), ScanNoRadio);
        EXPECT_EQ(out.Text(), "Searching every radio for \"Dravel-GLAX20k\" as acquisition does (about 4 s per radio) ...\n" + c.Listed);
    }
}

} // namespace
