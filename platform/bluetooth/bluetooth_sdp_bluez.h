// SPDX-License-Identifier: Apache-2.0
// The RFCOMM channel of a device's service, looked up over SDP.
#pragma once

#include "platform/bluetooth/serial_port_service.h"

#include <cstdint>

// Asks the device at `address` (the platform's 64-bit form) for the records of
// `serviceClass` and returns the RFCOMM channel of the first record that has
// one, or -1 when the device cannot be reached or offers no such service.
// Blocks until the device has answered or the kernel has given up.
int FindRfcommChannel(std::uint64_t address, const TServiceClassId &serviceClass);
