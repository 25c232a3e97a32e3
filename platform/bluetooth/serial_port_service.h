// SPDX-License-Identifier: Apache-2.0
// The serial port service of a Bluetooth device, which the RFCOMM routes (the
// Windows and the BlueZ backends) connect to.
#pragma once

#include <array>
#include <cstdint>

// A service class identifier in the platform's GUID byte layout.
using TServiceClassId = std::array<std::uint8_t, 16>;

// The serial port profile {00001101-0000-1000-8000-00805F9B34FB}: the first
// three groups little-endian, the last eight bytes as written.
inline constexpr TServiceClassId SerialPortServiceClass = {0x01, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
                                                           0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
