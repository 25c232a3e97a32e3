// SPDX-License-Identifier: Apache-2.0
// The resolution of a TCP meter's host: names and addresses, in the text the
// operator gave (UTF-8).
#include "platform/sockets/tcp_socket.h"

#include <gtest/gtest.h>

namespace {

TEST(TcpResolve, NamesAndAddressesResolveWithThePortInNetworkOrder)
{
    ASSERT_EQ(TcpSocket::Startup(), 0);
    const struct {
        const char *Host;
        bool Resolves;
    } cases[] = {
        {"127.0.0.1", true},
        {"localhost", true},
        {"no-such-meter.invalid", false},
        {"m\xE8ter.invalid", false},  // not UTF-8
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Host);
        TcpSocket::TAddress address;
        ASSERT_EQ(TcpSocket::Resolve(c.Host, 50123, address), c.Resolves);
        if (!c.Resolves) {
            EXPECT_EQ(address.Length, 0u);
            continue;
        }
        EXPECT_GT(address.Length, 0u);
        // The port follows the family in an IPv4 and an IPv6 address alike.
        EXPECT_EQ(address.Bytes[2], 50123 >> 8);
        EXPECT_EQ(address.Bytes[3], 50123 & 0xFF);
    }
    TcpSocket::Cleanup();
}

// A socket bound to one of them reaches only the addresses of its family.
TEST(TcpResolve, TheWildcardOfEachFamilyTheNameHasIPv4First)
{
    ASSERT_EQ(TcpSocket::Startup(), 0);
    const struct {
        const char *Host;
        std::vector<std::string> Wildcards;
    } cases[] = {
        {"127.0.0.1", {"0.0.0.0"}},
        {"::1", {"::"}},
        {"no-such-broker.invalid", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Host);
        EXPECT_EQ(TcpSocket::WildcardsOfFamiliesOf(c.Host), c.Wildcards);
    }
    TcpSocket::Cleanup();
}

} // namespace
