// SPDX-License-Identifier: Apache-2.0
// The way to the meter that --meter names: bt:AA:BB:CC:DD:EE:FF (the Bluetooth
// device at that address, whatever its name), serial:PORT[@BAUD] (a serial
// port), tcp:HOST:PORT (a serial-to-network bridge).
#pragma once

#include "platform/sockets/tcp_meter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class TMeterRouteKind { Bluetooth, Serial, Tcp };

struct TMeterOption {
    TMeterRouteKind Kind = TMeterRouteKind::Bluetooth;
    std::uint64_t BluetoothAddress = 0;  // bt:
    std::string SerialPort;              // serial: COM5, /dev/rfcomm0, ...
    std::uint32_t Baud = 9600;           // serial: @BAUD
    TTcpMeterAddress Tcp;                // tcp:
};

// The baud rates a serial port takes on every system, in increasing order.
inline constexpr std::uint32_t SerialBaudRates[] = {300,   600,   1200,   2400,   4800,   9600,  19200,
                                                    38400, 57600, 115200, 230400, 460800, 921600};

// Throws ECommandLineError naming the value and what is wrong with it.
TMeterOption ParseMeterOption(std::string_view text);
