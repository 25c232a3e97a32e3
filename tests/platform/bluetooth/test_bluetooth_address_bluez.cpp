// SPDX-License-Identifier: Apache-2.0
// Bluetooth addresses and service classes between BlueZ's and the platform's forms.
#include "platform/bluetooth/bluetooth_address_bluez.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace {

TEST(BluezAddress, TextAddressesBecomeTheSixLowBytesMostSignificantFirst)
{
    const struct {
        std::string_view Text;
        std::optional<std::uint64_t> Address;
    } cases[] = {
        {"AA:BB:CC:DD:EE:FF", 0xAABBCCDDEEFFull},
        {"aa:bb:cc:dd:ee:ff", 0xAABBCCDDEEFFull},
        {"00:11:22:33:44:55", 0x001122334455ull},
        {"00:00:00:00:00:00", 0ull},
        {"FF:FF:FF:FF:FF:FF", 0xFFFFFFFFFFFFull},
        {"", std::nullopt},
        {"AA:BB:CC:DD:EE", std::nullopt},
        {"AA:BB:CC:DD:EE:FF:", std::nullopt},
        {"AA:BB:CC:DD:EE:F", std::nullopt},
        {"AA-BB-CC-DD-EE-FF", std::nullopt},
        {"AA:BB:CC:DD:EE:FG", std::nullopt},
        {"AABB:CC:DD:EE:FF:", std::nullopt},
        {" A:BB:CC:DD:EE:FF", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ParseBluetoothAddress(c.Text), c.Address);
    }
}

TEST(BluezAddress, TheKernelGetsTheLeastSignificantByteFirst)
{
    const std::array<std::uint8_t, 6> expected = {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA};
    EXPECT_EQ(AddressToKernelBytes(0xAABBCCDDEEFFull), expected);
    // Bits above the six address bytes are not part of the address.
    EXPECT_EQ(AddressToKernelBytes(0x1234AABBCCDDEEFFull), expected);
}

TEST(BluezAddress, TheSerialPortClassBecomesItsUuidInWrittenOrder)
{
    const TServiceClassId serialPort = {0x01, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
                                        0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
    // 00001101-0000-1000-8000-00805F9B34FB
    const std::array<std::uint8_t, 16> uuid = {0x00, 0x00, 0x11, 0x01, 0x00, 0x00, 0x10, 0x00,
                                               0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
    EXPECT_EQ(ServiceClassToUuidBytes(serialPort), uuid);
}

} // namespace
