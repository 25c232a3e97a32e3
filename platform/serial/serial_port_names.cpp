// SPDX-License-Identifier: Apache-2.0
#include "platform/serial/serial_port_names.h"

#include "platform/bluetooth/bluetooth_address.h"

#include <cctype>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<unsigned> HexDigit(char c)
{
    if (IsDigit(c))
        return static_cast<unsigned>(c - '0');
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f')
        return static_cast<unsigned>(lower - 'a' + 10);
    return std::nullopt;
}

// Twelve hex digits, none between them, as a device instance id holds them.
std::optional<std::uint64_t> AddressOfDigits(std::string_view text)
{
    if (text.size() != 12)
        return std::nullopt;
    std::uint64_t address = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto digit = HexDigit(text[i]);
        if (!digit)
            return std::nullopt;
        address = address << 4 | *digit;
    }
    if (address == 0)
        return std::nullopt;
    return address;
}

} // namespace

std::string WindowsPortPath(std::string_view port)
{
    if (port.starts_with("\\\\.\\") || port.starts_with("\\\\?\\"))
        return std::string(port);
    return "\\\\.\\" + std::string(port);
}

std::optional<std::uint64_t> BluetoothAddressOfInstanceId(std::string_view id)
{
    constexpr std::string_view Bus = "BTHENUM\\";
    if (id.size() < Bus.size())
        return std::nullopt;
    for (std::size_t i = 0; i < Bus.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(id[i])) != Bus[i])
            return std::nullopt;
    const std::size_t underscore = id.rfind('_');
    if (underscore == std::string_view::npos)
        return std::nullopt;
    const std::size_t ampersand = id.rfind('&', underscore);
    if (ampersand == std::string_view::npos || ampersand < id.rfind('\\'))
        return std::nullopt;
    return AddressOfDigits(id.substr(ampersand + 1, underscore - ampersand - 1));
}

std::optional<std::uint64_t> BoundBluetoothAddress(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    const std::optional<std::uint64_t> address = ParseBluetoothAddress(text);
    return address == 0u ? std::nullopt : address;
}

bool PortNameLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the numbers by their digits without leading zeros: first
            // the count of digits, then the digits.
            std::size_t endA = i, endB = j;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            std::string_view numberA = a.substr(i, endA - i), numberB = b.substr(j, endB - j);
            while (numberA.size() > 1 && numberA.front() == '0')
                numberA.remove_prefix(1);
            while (numberB.size() > 1 && numberB.front() == '0')
                numberB.remove_prefix(1);
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}
