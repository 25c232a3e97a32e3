// SPDX-License-Identifier: Apache-2.0
// The names and texts of serial ports that both systems give, read the same
// way everywhere.
#include "platform/serial/serial_port_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST(SerialPortNames, EveryComNameOpensThroughTheDevicePrefixOnce)
{
    const std::pair<const char *, const char *> cases[] = {
        {"COM1", "\\\\.\\COM1"},
        {"COM12", "\\\\.\\COM12"},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"\\\\?\\COM3", "\\\\?\\COM3"},
    };
    for (const auto &[name, path] : cases)
        EXPECT_EQ(WindowsPortPath(name), path) << name;
}

TEST(SerialPortNames, BluetoothPortsNameTheirDeviceInTheInstanceId)
{
    const struct {
        const char *Id;
        std::optional<std::uint64_t> Address;
    } cases[] = {
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_VID&00010039_PID&5050\\8&2B048E4D&0&881B9906E566_C00000000",
         0x881B9906E566},
        {"BTHENUM\\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&000f\\7&1e4c0c2f&0&001a7dda7113_c00000000",
         0x001A7DDA7113},
        // An incoming port: no device bound to it.
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\8&2B048E4D&0&000000000000_00000000",
         std::nullopt},
        {"USB\\VID_10C4&PID_EA60\\0001", std::nullopt},
        {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", std::nullopt},
        {"ACPI\\PNP0501\\1", std::nullopt},
        // Not twelve hex digits between the last '&' and the last '_'.
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\8&2B048E4D&0&881B9906E56_C00000000",
         std::nullopt},
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\8&2B048E4D&0&881B9906E56G_C00000000",
         std::nullopt},
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000\\881B9906E566_C00000000", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BluetoothAddressOfInstanceId(c.Id), c.Address) << c.Id;
}

TEST(SerialPortNames, TheKernelsAddressOfAnRfcommPortReadsInEitherCase)
{
    const struct {
        const char *Text;
        std::optional<std::uint64_t> Address;
    } cases[] = {
        {"00:1a:7d:da:71:13\n", 0x001A7DDA7113},
        {"88:1B:99:06:E5:66", 0x881B9906E566},
        {"00:00:00:00:00:00\n", std::nullopt},  // bound to no device
        {"00:1a:7d:da:71", std::nullopt},
        {"00-1a-7d-da-71-13", std::nullopt},
        {"00:1a:7d:da:71:1g", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BoundBluetoothAddress(c.Text), c.Address) << c.Text;
}

TEST(SerialPortNames, PortsSortByTheNumbersInTheirNames)
{
    const std::vector<std::string> ordered = {"/dev/rfcomm0", "/dev/rfcomm2",  "/dev/rfcomm10", "/dev/ttyACM0",
                                              "/dev/ttyUSB9", "/dev/ttyUSB10", "COM2",          "COM10",
                                              "COM100"};
    std::vector<std::string> sorted(ordered.rbegin(), ordered.rend());
    std::sort(sorted.begin(), sorted.end(), [](const std::string &a, const std::string &b) { return PortNameLess(a, b); });
    EXPECT_EQ(sorted, ordered);
    EXPECT_FALSE(PortNameLess("COM3", "COM3"));
}

}  // namespace
