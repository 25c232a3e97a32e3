// Discovery of the meter over a counting fake platform, the link's start-up and
// clean-up pairing, and, on Windows, discovery over the real Bluetooth API.
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "tests/support/fake_bluetooth.h"

#ifdef _WIN32
#include "platform/win32/bluetooth_library_win32.h"
#include "platform/win32/bluetooth_win32.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TCalls = std::vector<std::string>;

const std::u16string Meter = MeterDeviceName;

class MeterDiscovery : public ::testing::Test {
protected:
    TFakeBluetooth Platform;
    TMeterLink Link{&Platform, [] {}};

    void ExpectNothingLeftOpen()
    {
        EXPECT_EQ(Platform.OpenHandleCount(), 0);
        EXPECT_TRUE(Platform.Misuses.empty()) << Platform.Misuses.front();
    }
};

struct TNameCase {
    const char *Label;
    std::u16string Name;
    bool Matches;
};

TEST_F(MeterDiscovery, OnlyTheExactNameMatches)
{
    std::u16string fullRecord(247, u'x');
    fullRecord.replace(0, Meter.size(), Meter);
    const std::vector<TNameCase> cases = {
        {"exact", Meter, true},
        {"lower case", u"dravel-glax20k", false},
        {"one letter in other case", u"Dravel-GLAX20K", false},
        {"trailing space", Meter + u" ", false},
        {"leading space", u" " + Meter, false},
        {"goes on after the name", Meter + u"2", false},
        {"only the beginning", Meter.substr(0, 13), false},
        {"empty", u"", false},
        {"fills the record", fullRecord, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TFakeBluetooth platform;
        platform.Radios = {{{c.Name, 0x1234}}};
        TMeterLink link(&platform, [] {});
        EXPECT_EQ(link.FindMeter(), c.Matches);
        EXPECT_EQ(link.DeviceAddress(), c.Matches ? 0x1234u : 0u);
        EXPECT_TRUE(link.HasRadio());
        EXPECT_EQ(platform.OpenHandleCount(), 0);
        EXPECT_TRUE(platform.Misuses.empty());
    }
}

struct TWalkCase {
    const char *Label;
    std::vector<std::vector<TFakeDevice>> Radios;
    bool Found;
    bool HasRadio;
    std::uint64_t Address;
    TCalls Calls;
};

TEST_F(MeterDiscovery, WalksRadiosAndDevicesInOrderAndClosesEveryHandleInOrder)
{
    const std::vector<TWalkCase> cases = {
        {"no radio", {}, false, false, 0, {"FindFirstRadio"}},
        {"a radio whose search finds no device",
         {{}},
         false,
         true,
         0,
         {"FindFirstRadio", "FindFirstDevice radio0", "CloseRadio radio0", "FindNextRadio", "FindRadioClose radios"}},
        {"the meter on the first radio leaves the later radios unsearched",
         {{{Meter, 0xA1}}, {{Meter, 0xB2}}},
         true,
         true,
         0xA1,
         {"FindFirstRadio", "FindFirstDevice radio0", "FindDeviceClose devices0", "CloseRadio radio0",
          "FindRadioClose radios"}},
        {"two devices with the name: the first listed wins",
         {{{u"Headset", 1}, {Meter, 0xA1}, {Meter, 0xA2}}},
         true,
         true,
         0xA1,
         {"FindFirstRadio", "FindFirstDevice radio0", "FindNextDevice devices0", "FindDeviceClose devices0",
          "CloseRadio radio0", "FindRadioClose radios"}},
        {"the meter on the second radio, the first without devices",
         {{}, {{u"dravel-glax20k", 1}, {Meter, 0xB2}}},
         true,
         true,
         0xB2,
         {"FindFirstRadio", "FindFirstDevice radio0", "CloseRadio radio0", "FindNextRadio",
          "FindFirstDevice radio1", "FindNextDevice devices1", "FindDeviceClose devices1", "CloseRadio radio1",
          "FindRadioClose radios"}},
        {"no meter on any radio",
         {{{u"Headset", 1}}, {{Meter + u" ", 2}, {u"", 3}}},
         false,
         true,
         0,
         {"FindFirstRadio", "FindFirstDevice radio0", "FindNextDevice devices0", "FindDeviceClose devices0",
          "CloseRadio radio0", "FindNextRadio", "FindFirstDevice radio1", "FindNextDevice devices1",
          "FindNextDevice devices1", "FindDeviceClose devices1", "CloseRadio radio1", "FindNextRadio",
          "FindRadioClose radios"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TFakeBluetooth platform;
        platform.Radios = c.Radios;
        TMeterLink link(&platform, [] {});
        EXPECT_EQ(link.FindMeter(), c.Found);
        EXPECT_EQ(link.HasRadio(), c.HasRadio);
        EXPECT_EQ(link.DeviceAddress(), c.Address);
        EXPECT_EQ(platform.Calls, c.Calls);
        EXPECT_EQ(platform.OpenHandleCount(), 0);
        EXPECT_TRUE(platform.Misuses.empty());
    }
}

TEST_F(MeterDiscovery, EachRadioIsSearchedForRememberedAndNewDevicesWithAFreshInquiry)
{
    Platform.Radios = {{}, {{u"Headset", 1}}};
    Link.FindMeter();
    ASSERT_EQ(Platform.SearchParams.size(), 2u);
    for (const auto &params : Platform.SearchParams) {
        EXPECT_FALSE(params.ReturnAuthenticated);
        EXPECT_TRUE(params.ReturnRemembered);
        EXPECT_TRUE(params.ReturnUnknown);
        EXPECT_FALSE(params.ReturnConnected);
        EXPECT_TRUE(params.IssueInquiry);
        EXPECT_EQ(params.TimeoutMultiplier, 3);
    }
    EXPECT_NE(Platform.SearchParams[0].Radio, Platform.SearchParams[1].Radio);
}

TEST_F(MeterDiscovery, AFailedDiscoveryKeepsTheAddressFoundBefore)
{
    Platform.Radios = {{{Meter, 0x00112233445566}}};
    ASSERT_TRUE(Link.FindMeter());

    Platform.Radios = {{{u"Headset", 9}}};
    EXPECT_FALSE(Link.FindMeter());
    EXPECT_TRUE(Link.HasRadio());
    EXPECT_EQ(Link.DeviceAddress(), 0x00112233445566u);

    Platform.Radios = {};
    EXPECT_FALSE(Link.FindMeter());
    EXPECT_FALSE(Link.HasRadio());
    EXPECT_EQ(Link.DeviceAddress(), 0x00112233445566u);
    ExpectNothingLeftOpen();
}

TEST_F(MeterDiscovery, HasRadioIsFalseBeforeTheFirstDiscovery)
{
    EXPECT_FALSE(Link.HasRadio());
}

struct TOpenCase {
    const char *Label;
    int StartupResult;
    bool SocketFails;
    bool ConnectFails;
    bool Opened;
    TCalls Calls;
};

TEST_F(MeterDiscovery, OpenLinkLeavesNothingOpenWhenItFails)
{
    const std::vector<TOpenCase> cases = {
        {"start-up fails", 10091, false, false, false, {"Startup"}},
        {"socket fails", 0, true, false, false, {"Startup", "OpenSocket", "Cleanup"}},
        {"connect fails (a meter that is switched off)",
         0,
         false,
         true,
         false,
         {"Startup", "OpenSocket", "SetReuseAddress", "Connect", "CloseSocket", "Cleanup"}},
        {"connected", 0, false, false, true, {"Startup", "OpenSocket", "SetReuseAddress", "Connect"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TFakeBluetooth platform;
        platform.StartupResult = c.StartupResult;
        platform.SocketFails = c.SocketFails;
        platform.ConnectFails = c.ConnectFails;
        TMeterLink link(&platform, [] {});
        EXPECT_EQ(link.OpenLink(), c.Opened);
        EXPECT_EQ(platform.Calls, c.Calls);
        EXPECT_EQ(platform.OpenSocketCount(), c.Opened ? 1 : 0);
        EXPECT_EQ(platform.OutstandingStartups(), c.Opened ? 1 : 0);
        EXPECT_EQ(link.Socket(), c.Opened ? TFakeBluetooth::FakeSocket : InvalidSocket);
        EXPECT_TRUE(platform.Misuses.empty());
    }
}

TEST_F(MeterDiscovery, EveryLinkIsOneStartUpClosedByCloseLink)
{
    Platform.Radios = {{{Meter, 0x0000BEEFCAFE0001}}};
    ASSERT_TRUE(Link.FindMeter());
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_TRUE(Link.OpenLink());
        EXPECT_EQ(Platform.OutstandingStartups(), 1);
        Link.CloseLink();
        EXPECT_EQ(Platform.OutstandingStartups(), 0);
        EXPECT_EQ(Platform.OpenSocketCount(), 0);
    }
    EXPECT_EQ(Platform.CallCount("Startup"), 3);
    EXPECT_EQ(Platform.CallCount("Cleanup"), 3);
    EXPECT_TRUE(Platform.Misuses.empty());
}

TEST_F(MeterDiscovery, TheLinkConnectsToTheFoundAddressAndTheSerialPortService)
{
    Platform.Radios = {{{Meter, 0x0000BEEFCAFE0001}}};
    ASSERT_TRUE(Link.FindMeter());
    ASSERT_TRUE(Link.OpenLink());
    EXPECT_EQ(Platform.ConnectAddress, 0x0000BEEFCAFE0001u);
    const TServiceClassId serialPort = {0x01, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
                                        0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
    EXPECT_EQ(Platform.ConnectServiceClass, serialPort);
    Link.CloseLink();
}

#ifdef _WIN32
// Wine has no Bluetooth radio and no AF_BTH sockets; a Windows machine without
// a radio behaves the same. Either way discovery and link fail cleanly.
TEST(WindowsBluetooth, WithoutARadioDiscoveryReportsNoRadio)
{
    TWin32Bluetooth platform;
    TMeterLink link(&platform, [] {});
    TRadioHandle radio = nullptr;
    if (TFindHandle find = platform.FindFirstRadio(radio)) {
        platform.CloseRadio(radio);
        platform.FindRadioClose(find);
        GTEST_SKIP() << "this machine has a Bluetooth radio";
    }
    EXPECT_FALSE(link.FindMeter());
    EXPECT_FALSE(link.HasRadio());
}

// Some Windows editions come without the Bluetooth library: the program still
// starts, and discovery tells of no radio as on a machine without one.
TEST(WindowsBluetooth, WithoutTheBluetoothLibraryDiscoveryReportsNoRadio)
{
    const TBluetoothLibrary missing(L"no-such-bluetooth-library.cpl");
    TWin32Bluetooth platform(missing);
    TMeterLink link(&platform, [] {});
    EXPECT_FALSE(link.FindMeter());
    EXPECT_FALSE(link.HasRadio());
}

// Wine has no AF_BTH sockets; on Windows nothing answers at address 0.
TEST(WindowsBluetooth, ALinkNobodyAnswersFailsCleanly)
{
    TWin32Bluetooth platform;
    TMeterLink link(&platform, [] {});
    EXPECT_FALSE(link.OpenLink());
    EXPECT_EQ(link.Socket(), InvalidSocket);
}
#else
TEST(WindowsBluetooth, WithoutARadioDiscoveryReportsNoRadio)
{
    GTEST_SKIP() << "the Windows Bluetooth API exists on Windows only";
}
#endif

}  // namespace
