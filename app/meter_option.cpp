// SPDX-License-Identifier: Apache-2.0
#include "app/meter_option.h"

#include "app/option_reader.h"
#include "platform/bluetooth/bluetooth_address.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr std::string_view BluetoothScheme = "bt:";
constexpr std::string_view SerialScheme = "serial:";
constexpr std::string_view TcpScheme = "tcp:";

[[noreturn]] void Refuse(std::string_view text, const std::string &why)
{
    throw ECommandLineError("--meter " + std::string(text) + ": " + why);
}

std::string BaudRateList()
{
    std::string list;
    for (const std::uint32_t rate : SerialBaudRates)
        list += (list.empty() ? "" : ", ") + std::to_string(rate);
    return list;
}

} // namespace

TMeterOption ParseMeterOption(std::string_view text)
{
    TMeterOption option;
    if (text.starts_with(BluetoothScheme)) {
        const std::optional<std::uint64_t> address = ParseBluetoothAddress(text.substr(BluetoothScheme.size()));
        if (!address)
            Refuse(text, "a Bluetooth address is six pairs of hexadecimal digits with colons between them, "
                         "e.g. bt:00:A4:C1:38:0F:2B");
        option.Kind = TMeterRouteKind::Bluetooth;
        option.BluetoothAddress = *address;
        return option;
    }
    if (text.starts_with(SerialScheme)) {
        std::string_view port = text.substr(SerialScheme.size());
        const auto at = port.rfind('@');
        if (at != std::string_view::npos) {
            const std::string_view rate = port.substr(at + 1);
            const std::optional<unsigned long> baud = WholeNumber(rate, 1, SerialBaudRates[std::size(SerialBaudRates) - 1]);
            if (!baud || std::find(std::begin(SerialBaudRates), std::end(SerialBaudRates), *baud) ==
                             std::end(SerialBaudRates))
                Refuse(text, "the baud rate after @ is one of " + BaudRateList());
            option.Baud = static_cast<std::uint32_t>(*baud);
            port = port.substr(0, at);
        }
        if (port.empty())
            Refuse(text, "name the serial port, e.g. serial:COM5 or serial:/dev/rfcomm0");
        option.Kind = TMeterRouteKind::Serial;
        option.SerialPort = std::string(port);
        return option;
    }
    if (text.starts_with(TcpScheme)) {
        const TMeterAddressParse parsed = ParseMeterAddress(text);
        if (!parsed)
            throw ECommandLineError("--meter: " + parsed.Error);
        option.Kind = TMeterRouteKind::Tcp;
        option.Tcp = parsed.Address;
        return option;
    }
    Refuse(text, "the way to the meter begins with bt:, serial: or tcp:");
}
