// SPDX-License-Identifier: Apache-2.0
// A serial port as the exchange's byte stream: a USB serial adapter, a
// Bluetooth serial port that the system has bound (rfcomm on Linux, a virtual
// COM port on Windows), or a pseudo-terminal that the simulated meter serves.
// One implementation per operating system: serial_port_posix.cpp and
// serial_port_win32.cpp; the names they share are in serial_port_names.h.
#pragma once

#include "platform/streams/byte_stream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TSerialPortSettings {
    // "/dev/ttyUSB0", "/dev/rfcomm0"; "COM5" or "\\.\COM12".
    std::string Port;
    std::uint32_t Baud = 9600;
};

// Opens the port for raw bytes: 8 data bits, no parity, 1 stop bit, no flow
// control of either kind, the baud rate given; bytes that waited in the port
// from before are dropped. A port that another program holds fails as busy
// ("the port is in use by another program (...)"); any other failure gives the
// system's words ("No such file or directory"). The stream's waits keep their
// deadlines to the microsecond, as the exchange needs.
TStreamOpening OpenSerialPort(const TSerialPortSettings &settings);

// The way to a meter on a serial port: each reading cycle opens the port (on a
// Bluetooth serial port, that is when the system connects to the meter).
class TSerialMeterRoute : public IMeterRoute {
public:
    explicit TSerialMeterRoute(TSerialPortSettings settings) : FSettings(std::move(settings)) {}
    TStreamOpening Open(std::uint64_t) override { return OpenSerialPort(FSettings); }

private:
    TSerialPortSettings FSettings;
};

struct TSerialPortInfo {
    std::string Port;         // what OpenSerialPort takes
    std::string Description;  // for the person choosing: the driver, the product, "Bluetooth serial port"
    // The Bluetooth device the port is bound to (48 bits, first byte most
    // significant), where the system tells it.
    std::optional<std::uint64_t> BluetoothAddress;
};

// The serial ports of this computer, in the order of their names (COM2 before
// COM10). Linux: rfcomm, USB serial adapters and USB modems (ttyUSB, ttyACM);
// Windows: the devices of the Ports class.
std::vector<TSerialPortInfo> ListSerialPorts();
