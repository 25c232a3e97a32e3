// SPDX-License-Identifier: Apache-2.0
// The BlueZ backend's RFCOMM sockets on whatever kernel runs the tests.
#include "platform/bluetooth/bluetooth_bluez.h"

#include <gtest/gtest.h>

#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>

#include <filesystem>
#include <system_error>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

bool KernelHasRfcomm()
{
    const int probe = ::socket(AF_BLUETOOTH, SOCK_STREAM, BTPROTO_RFCOMM);
    if (probe < 0)
        return false;
    ::close(probe);
    return true;
}

// A random static address that no meter in reach will have.
TEST(BluezSockets, ALinkThatCannotReachTheMeterFailsInTheKernelsWordsAndLeavesNothingOpen)
{
    TBluezPlatform platform;
    const std::size_t before = OpenDescriptors();
    const TStreamOpening opening = platform.Open(0xC0FFEE000001ull);
    EXPECT_EQ(opening.Stream, nullptr);
    // Without Bluetooth in the kernel there is no socket; with it, the SDP
    // look-up finds nobody at the address.
    const std::string expected = KernelHasRfcomm() ? "no serial port service found over SDP"
                                                   : "no socket: " + std::generic_category().message(EAFNOSUPPORT);
    EXPECT_EQ(opening.Failure.rfind(expected, 0), 0u) << opening.Failure;
    EXPECT_EQ(platform.OpenSocketCount(), 0u);
    EXPECT_EQ(OpenDescriptors(), before);
}

} // namespace
