// The BlueZ backend's RFCOMM sockets on whatever kernel runs the tests.
#include "platform/bluetooth/bluetooth_bluez.h"

#include <gtest/gtest.h>

#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>

#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const TServiceClassId SerialPort = {0x01, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
                                    0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};

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

bool IsOpen(int descriptor)
{
    return ::fcntl(descriptor, F_GETFD) != -1;
}

TEST(BluezSockets, ASocketIsMadeExactlyWhenTheKernelHasRfcommAndClosedByCloseSocket)
{
    TBluezPlatform platform;
    const std::size_t before = OpenDescriptors();
    const TSocketHandle socket = platform.OpenSocket();
    if (KernelHasRfcomm()) {
        ASSERT_NE(socket, InvalidSocket);
        EXPECT_EQ(platform.OpenSocketCount(), 1u);
        platform.SetReuseAddress(socket);
        platform.CloseSocket(socket);
    } else {
        EXPECT_EQ(socket, InvalidSocket);
        // The kernel's own words, for the trace.
        EXPECT_EQ(platform.LinkFailureText(), std::generic_category().message(EAFNOSUPPORT));
    }
    EXPECT_EQ(platform.OpenSocketCount(), 0u);
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(BluezSockets, AConnectThatCannotReachTheMeterFailsAndLeavesNothingOpen)
{
    TBluezPlatform platform;
    // Without Bluetooth in the kernel any socket stands in: the SDP look-up
    // fails before the socket is used.
    TSocketHandle socket = platform.OpenSocket();
    const bool standIn = socket == InvalidSocket;
    if (standIn)
        socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(socket, 0);
    const std::size_t before = OpenDescriptors();

    // A random static address that no meter in reach will have.
    EXPECT_EQ(platform.Connect(socket, 0xC0FFEE000001ull, SerialPort), -1);
    EXPECT_EQ(platform.LinkFailureText().rfind("no serial port service found over SDP", 0), 0u)
        << platform.LinkFailureText();
    EXPECT_EQ(platform.Connect(InvalidSocket, 0xC0FFEE000001ull, SerialPort), -1);
    EXPECT_EQ(OpenDescriptors(), before);

    if (standIn)
        ::close(socket);
    else
        platform.CloseSocket(socket);
    EXPECT_EQ(platform.OpenSocketCount(), 0u);
}

TEST(BluezSockets, CloseSocketLeavesDescriptorsItDidNotMakeOpen)
{
    TBluezPlatform platform;
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    platform.CloseSocket(pipe[0]);
    platform.CloseSocket(InvalidSocket);
    EXPECT_TRUE(IsOpen(pipe[0])) << "a descriptor the backend did not make was closed";
    ::close(pipe[0]);
    ::close(pipe[1]);
}

} // namespace
