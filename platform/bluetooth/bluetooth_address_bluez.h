// Conversions between BlueZ's text forms and the platform's binary forms of
// Bluetooth addresses and service class identifiers.
#pragma once

#include "platform/bluetooth/bluetooth_transport.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// "AA:BB:CC:DD:EE:FF" (either letter case) -> 0xAABBCCDDEEFF, the six bytes in
// the low 48 bits with the first byte written the most significant.
// Anything else (wrong length, separators or digits) -> nullopt.
std::optional<std::uint64_t> ParseBluetoothAddress(std::string_view text);

// The six address bytes in the kernel's bdaddr_t order: least significant
// first, so that 0xAABBCCDDEEFF becomes FF EE DD CC BB AA.
std::array<std::uint8_t, 6> AddressToKernelBytes(std::uint64_t address);

// A service class from the platform's GUID layout (first three fields little-
// endian) to the UUID's own byte order (big-endian, as written in text).
std::array<std::uint8_t, 16> ServiceClassToUuidBytes(const TServiceClassId &serviceClass);
