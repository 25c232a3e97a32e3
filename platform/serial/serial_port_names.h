// SPDX-License-Identifier: Apache-2.0
// What the serial ports of both systems are called: the names and texts the
// systems give, read the same way on every system so that they are tested
// everywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The path CreateFileW takes for a COM port: "COM5" -> "\\.\COM5". Ports from
// COM10 on open only so, and the prefix does no harm below; a name that
// carries a "\\.\" or "\\?\" prefix already is kept.
std::string WindowsPortPath(std::string_view port);

// The Bluetooth device of a Windows Bluetooth serial port, from its device
// instance id: "BTHENUM\{00001101-...}_VID&...\8&2B04&0&881B9906E566_C00000000"
// names 88:1B:99:06:E5:66, the 12 hex digits after the last '&' before the last
// '_'. None for another bus, for an id of another shape, and for the all-zero
// address of an incoming port (one that no device is bound to).
std::optional<std::uint64_t> BluetoothAddressOfInstanceId(std::string_view id);

// "00:1a:7d:da:71:13" (either case, a line end allowed after it), as the Linux
// kernel shows the device an rfcomm port is bound to; none for anything else
// and for the all-zero address.
std::optional<std::uint64_t> BoundBluetoothAddress(std::string_view text);

// The order a person expects: the digits of a name as a number, so that
// COM2 < COM10 and ttyUSB9 < ttyUSB10.
bool PortNameLess(std::string_view a, std::string_view b);
