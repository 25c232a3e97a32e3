// SPDX-License-Identifier: Apache-2.0
// Bluetooth addresses as people write them: "AA:BB:CC:DD:EE:FF", the six
// bytes with the most significant first, held in the low 48 bits of a number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "AA:BB:CC:DD:EE:FF": the six address bytes, the most significant first, as
// every platform writes a Bluetooth address for people.
inline std::string BluetoothAddressText(std::uint64_t address)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 40; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned>((address >> shift) & 0xFF);
        if (!text.empty())
            text += ':';
        text += Digits[byte >> 4];
        text += Digits[byte & 0xF];
    }
    return text;
}

// "AA:BB:CC:DD:EE:FF" (either letter case) -> 0xAABBCCDDEEFF. Anything else
// (wrong length, separators or digits) -> nullopt.
std::optional<std::uint64_t> ParseBluetoothAddress(std::string_view text);
