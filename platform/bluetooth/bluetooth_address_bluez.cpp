#include "platform/bluetooth/bluetooth_address_bluez.h"

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
