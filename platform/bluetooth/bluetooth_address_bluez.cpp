// SPDX-License-Identifier: Apache-2.0
#include "platform/bluetooth/bluetooth_address_bluez.h"

std::array<std::uint8_t, 6> AddressToKernelBytes(std::uint64_t address)
{
    std::array<std::uint8_t, 6> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(address >> (8 * i));
    return bytes;
}

std::array<std::uint8_t, 16> ServiceClassToUuidBytes(const TServiceClassId &serviceClass)
{
    const auto &g = serviceClass;
    // Data1 (4 bytes), Data2 and Data3 (2 bytes each) are stored little-endian
    // in the GUID layout; Data4 (8 bytes) is stored as written.
    return {g[3], g[2], g[1], g[0], g[5], g[4], g[7], g[6],
            g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]};
}
