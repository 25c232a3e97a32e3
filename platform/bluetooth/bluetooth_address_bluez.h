// SPDX-License-Identifier: Apache-2.0
// Conversions between BlueZ's text forms and the platform's binary forms of
// Bluetooth addresses and service class identifiers.
#pragma once

#include "platform/bluetooth/bluetooth_address.h"
#include "platform/bluetooth/serial_port_service.h"

#include <array>
#include <cstdint>

// The six address bytes in the kernel's bdaddr_t order: least significant
// first, so that 0xAABBCCDDEEFF becomes FF EE DD CC BB AA.
std::array<std::uint8_t, 6> AddressToKernelBytes(std::uint64_t address);

// A service class from the platform's GUID layout (first three fields little-
// endian) to the UUID's own byte order (big-endian, as written in text).
std::array<std::uint8_t, 16> ServiceClassToUuidBytes(const TServiceClassId &serviceClass);
