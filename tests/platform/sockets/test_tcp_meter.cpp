// SPDX-License-Identifier: Apache-2.0
// The meter over TCP: its address syntax, a link without discovery, and real
// connections to a loopback listener.
#include "link/meter_link.h"
#include "platform/files/trace_file.h"
#include "platform/sockets/socket_io.h"
#include "platform/sockets/socket_stream.h"
#include "platform/sockets/tcp_meter.h"
#include "sim/local_sockets.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/trace_lines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A listening socket on 127.0.0.1 with a free port.
class TLoopbackListener {
public:
    TLoopbackListener()
    {
        std::string error;
        FSocket.Reset(ListenLoopback(0, Port, error));
        if (!FSocket.Valid())
            ADD_FAILURE() << "no loopback listener: " << error;
    }
    // The accepted peer's end, to talk to the platform's socket.
    TSocketHandle Accept()
    {
        FPeer.Reset(AcceptConnection(FSocket.Get()));
        return FPeer.Get();
    }

    std::uint16_t Port = 0;

private:
    TOwnedSocket FSocket;
    TOwnedSocket FPeer;
};

bool SendByte(TSocketHandle socket, std::uint8_t byte)
{
    return SendBytes(socket, &byte, 1) == 1;
}

int ReceiveByte(TSocketHandle socket)
{
    std::uint8_t byte = 0;
    return ReceiveBytes(socket, &byte, 1) == 1 ? byte : -1;
}

// A meter over TCP as the program sets it up: the route, and a link over it
// with nothing to discover, whose trace goes to `trace`.
struct TTcpMeter {
    explicit TTcpMeter(const TTcpMeterAddress &address, std::chrono::milliseconds connectTimeout = 10s)
        : route(address, connectTimeout)
    {
    }
    TScratchFolder folder{"tcp-meter"};
    TTraceFile trace{folder.File("trace.txt")};
    TTcpMeterRoute route;
    TMeterLink link{TMeterWay{nullptr, &route, std::nullopt, "tcp:meter"}, [] {}, &trace};
};

// The computer's end of the link's open stream.
TSocketHandle ComputerEnd(const TMeterLink &link)
{
    return static_cast<const TSocketStream *>(link.Stream())->Handle();
}

struct TParseCase {
    const char *Text;
    bool Ok;
    const char *Host;
    std::uint16_t Port;
};

TEST(MeterAddress, AcceptsHostAndPortAndRejectsAnythingElseWithAReason)
{
    const std::vector<TParseCase> cases = {
        {"tcp:localhost:5000", true, "localhost", 5000},
        {"tcp:127.0.0.1:1", true, "127.0.0.1", 1},
        {"tcp:lab-meter.example.org:65535", true, "lab-meter.example.org", 65535},
        {"tcp:[::1]:5000", true, "::1", 5000},
        {"tcp:[fe80::1%eth0]:7", true, "fe80::1%eth0", 7},
        {"tcp:host:00080", true, "host", 80},
        {"", false, "", 0},
        {"localhost:5000", false, "", 0},
        {"TCP:localhost:5000", false, "", 0},
        {"tcp:", false, "", 0},
        {"tcp:localhost", false, "", 0},
        {"tcp:localhost:", false, "", 0},
        {"tcp::5000", false, "", 0},
        {"tcp:localhost:0", false, "", 0},
        {"tcp:localhost:65536", false, "", 0},
        {"tcp:localhost:123456", false, "", 0},
        {"tcp:localhost:-1", false, "", 0},
        {"tcp:localhost:50x", false, "", 0},
        {"tcp:localhost: 50", false, "", 0},
        {"tcp:::1:5000", false, "", 0},
        {"tcp:[::1]5000", false, "", 0},
        {"tcp:[::1:5000", false, "", 0},
        {"tcp:[]:5000", false, "", 0},
        {"tcp:bad host:5000", false, "", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        const TMeterAddressParse parsed = ParseMeterAddress(c.Text);
        EXPECT_EQ(static_cast<bool>(parsed), c.Ok);
        if (c.Ok) {
            EXPECT_EQ(parsed.Address.Host, c.Host);
            EXPECT_EQ(parsed.Address.Port, c.Port);
            EXPECT_TRUE(parsed.Error.empty());
        } else {
            // The message names what was typed, so the person can find it.
            EXPECT_NE(parsed.Error.find(std::string("\"") + c.Text + "\""), std::string::npos) << parsed.Error;
        }
    }
}

TEST(TcpMeter, NeedsNoDiscovery)
{
    TTcpMeter tcp({"localhost", 5000});
    TMeterLink &link = tcp.link;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(link.FindMeter());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(link.HasRadio());
}

TEST(TcpMeter, TheLinkIsAConnectedBlockingTcpStreamToAHostByAddressOrName)
{
    for (const char *host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        TLoopbackListener listener;
        TTcpMeter tcp({host, listener.Port});
        TMeterLink &link = tcp.link;
        ASSERT_TRUE(link.FindMeter());
        ASSERT_TRUE(link.OpenLink());
        const TSocketHandle meter = listener.Accept();
        ASSERT_NE(meter, InvalidSocket);

        EXPECT_TRUE(SendByte(ComputerEnd(link), 0x14));
        EXPECT_EQ(ReceiveByte(meter), 0x14);
        // Blocking again after the bounded connect: the receive waits for the byte.
        EXPECT_TRUE(SendByte(meter, 0x19));
        EXPECT_EQ(ReceiveByte(ComputerEnd(link)), 0x19);

        link.CloseLink();
        EXPECT_EQ(link.Stream(), nullptr);
        EXPECT_EQ(ReceiveByte(meter), -1);  // the computer's end is closed
    }
}

struct TOutOfReachCase {
    const char *Label;
    std::string Host;
    bool ClosedPort;
    std::string Says;  // in the failure text, which only the trace reads; empty: anything
};

TEST(TcpMeter, AMeterOutOfReachFailsTheLinkSilentlyAndWithinTheTimeout)
{
    const std::vector<TOutOfReachCase> cases = {
        {"nothing listens on the port", "127.0.0.1", true, "refused"},
        {"the name does not resolve", "no-such-meter.invalid", false,
         "the host name \"no-such-meter.invalid\" does not resolve"},
        // A documentation address: never answers, or has no route at all.
        {"the host never answers", "192.0.2.1", false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        std::uint16_t port = 9;
        if (c.ClosedPort) {
            TLoopbackListener listener;
            port = listener.Port;
        }
        TTcpMeter tcp({c.Host, port}, 300ms);
        TMeterLink &link = tcp.link;
        ASSERT_TRUE(link.FindMeter());
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(link.OpenLink());
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        EXPECT_EQ(link.Stream(), nullptr);
        const std::vector<std::string> texts = TraceTexts(tcp.folder.File("trace.txt"));
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[0], "connecting to tcp:meter");
        EXPECT_EQ(texts[1].rfind("connection failed: ", 0), 0u) << texts[1];
        EXPECT_NE(texts[1].find(c.Says), std::string::npos) << texts[1];
    }
}

}  // namespace
