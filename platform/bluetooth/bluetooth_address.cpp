// SPDX-License-Identifier: Apache-2.0
#include "platform/bluetooth/bluetooth_address.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::uint64_t> ParseBluetoothAddress(std::string_view text)
{
    constexpr std::size_t Length = 17; // six pairs of digits, five colons
    if (text.size() != Length)
        return std::nullopt;
    std::uint64_t address = 0;
    for (std::size_t i = 0; i < Length; i += 3) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        if (i + 2 < Length && text[i + 2] != ':')
            return std::nullopt;
        address = (address << 8) | static_cast<std::uint64_t>(high * 16 + low);
    }
    return address;
}
