// SPDX-License-Identifier: Apache-2.0
// Discovery of the meter over the simulated computer, whose call log shows the
// order of the platform's calls and proves every handle closed; the device a
// pinned address takes; the streams the link opens and closes; and, on
// Windows, discovery over the real Bluetooth API.
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "tests/support/sound_use.h"

#ifdef _WIN32
#include "platform/bluetooth/bluetooth_library_win32.h"
#include "platform/bluetooth/bluetooth_win32.h"
#endif

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TCalls = std::vector<std::string>;

const std::u16string Meter = MeterDeviceName;

// The simulated computer with the radios a test gives it, without the
// inquiry's wait, whose links reach a simulated meter; and a link over it.
struct TComputer {
    explicit TComputer(TSimulatedRadios radios = {}, std::optional<std::uint64_t> pinned = std::nullopt)
        : platform(std::move(radios), meter, 0ms), link(TMeterWay{&platform, &platform, pinned}, [] {})
    {
    }
    TSimulatedMeter meter;
    TSimulatedBluetooth platform;
    TMeterLink link;
};

struct TNameCase {
    const char *Label;
    std::u16string Name;
    bool Matches;
};

TEST(MeterDiscovery, OnlyTheExactNameMatches)
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
        TComputer computer({{{c.Name, 0x1234}}});
        EXPECT_EQ(computer.link.FindMeter(), c.Matches);
        EXPECT_EQ(computer.link.DeviceAddress(), c.Matches ? 0x1234u : 0u);
        EXPECT_TRUE(computer.link.HasRadio());
        ExpectSoundUse(computer.platform);
    }
}

struct TWalkCase {
    const char *Label;
    TSimulatedRadios Radios;
    bool Found;
    bool HasRadio;
    std::uint64_t Address;
    TCalls Calls;
};

TEST(MeterDiscovery, WalksRadiosAndDevicesInOrderAndClosesEveryHandleInOrder)
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
        TComputer computer(c.Radios);
        EXPECT_EQ(computer.link.FindMeter(), c.Found);
        EXPECT_EQ(computer.link.HasRadio(), c.HasRadio);
        EXPECT_EQ(computer.link.DeviceAddress(), c.Address);
        EXPECT_EQ(computer.platform.Calls(), c.Calls);
        ExpectSoundUse(computer.platform);
    }
}

TEST(MeterDiscovery, EachRadioIsSearchedForRememberedAndNewDevicesWithAFreshInquiry)
{
    TComputer computer({{}, {{u"Headset", 1}}});
    computer.link.FindMeter();
    const std::vector<TDeviceSearchParams> searches = computer.platform.SearchParams();
    ASSERT_EQ(searches.size(), 2u);
    for (const auto &params : searches) {
        EXPECT_FALSE(params.ReturnAuthenticated);
        EXPECT_TRUE(params.ReturnRemembered);
        EXPECT_TRUE(params.ReturnUnknown);
        EXPECT_FALSE(params.ReturnConnected);
        EXPECT_TRUE(params.IssueInquiry);
        EXPECT_EQ(params.TimeoutMultiplier, 3);
    }
    EXPECT_NE(searches[0].Radio, searches[1].Radio);
}

TEST(MeterDiscovery, AFailedDiscoveryKeepsTheAddressFoundBefore)
{
    TComputer computer({{{Meter, 0x00112233445566}}});
    TMeterLink &link = computer.link;
    ASSERT_TRUE(link.FindMeter());

    computer.platform.SetRadios({{{u"Headset", 9}}});
    EXPECT_FALSE(link.FindMeter());
    EXPECT_TRUE(link.HasRadio());
    EXPECT_EQ(link.DeviceAddress(), 0x00112233445566u);

    computer.platform.SetRadios(TSimulatedBluetooth::NoRadio());
    EXPECT_FALSE(link.FindMeter());
    EXPECT_FALSE(link.HasRadio());
    EXPECT_EQ(link.DeviceAddress(), 0x00112233445566u);
    ExpectSoundUse(computer.platform);
}

TEST(MeterDiscovery, HasRadioIsFalseBeforeTheFirstDiscovery)
{
    TComputer computer(TSimulatedBluetooth::MeterOnFirstRadio(Meter));
    EXPECT_FALSE(computer.link.HasRadio());
}

TEST(MeterDiscovery, APinnedAddressTakesThatDeviceWhateverItsName)
{
    const std::uint64_t first = 0x00A4C1380F01, second = 0x00A4C1380F02, elsewhere = 0x00A4C1380FFF;
    const struct {
        const char *Label;
        TSimulatedRadios Radios;
        std::uint64_t Pinned;
        bool Found;
    } cases[] = {
        {"two devices named as the meter, the second pinned", {{{Meter, first}, {Meter, second}}}, second, true},
        {"the pinned device on a later radio", {{{Meter, first}}, {{Meter, second}}}, second, true},
        {"the pinned device has another name", {{{Meter, first}, {u"dravel-glax20k", second}}}, second, true},
        {"the pinned device is not listed", {{{Meter, first}, {Meter, second}}}, elsewhere, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TComputer computer(c.Radios, c.Pinned);
        for (int cycle = 0; cycle < 2; ++cycle) {
            ASSERT_EQ(computer.link.FindMeter(), c.Found);
            if (!c.Found)
                continue;
            EXPECT_EQ(computer.link.DeviceAddress(), c.Pinned);
            ASSERT_TRUE(computer.link.OpenLink());
            computer.link.CloseLink();
        }
        // Only the pinned device was ever connected.
        const std::vector<std::uint64_t> connected(c.Found ? 2 : 0, c.Pinned);
        EXPECT_EQ(computer.platform.ConnectRequests(), connected);
        ExpectSoundUse(computer.platform);
    }
}

TEST(MeterDiscovery, EachLinkIsOneStreamToTheFoundAddressClosedByCloseLink)
{
    const struct {
        const char *Label;
        TSimulatedFaults Faults;
        bool Opened;
    } cases[] = {
        {"connected", {}, true},
        {"a meter that is switched off", {true}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TComputer computer({{{Meter, 0x0000BEEFCAFE0001}}});
        computer.platform.SetFaults(c.Faults);
        ASSERT_TRUE(computer.link.FindMeter());
        for (int cycle = 1; cycle <= 3; ++cycle) {
            ASSERT_EQ(computer.link.OpenLink(), c.Opened);
            EXPECT_EQ(computer.link.Stream() != nullptr, c.Opened);
            const auto open = computer.platform.Counts();
            EXPECT_EQ(open.Connects - open.StreamsClosed, c.Opened ? 1 : 0);
            EXPECT_EQ(open.FailedConnects, c.Opened ? 0 : cycle);
            if (c.Opened)
                computer.link.CloseLink();
            EXPECT_EQ(computer.link.Stream(), nullptr);
            ExpectSoundUse(computer.platform);
        }
        EXPECT_EQ(computer.platform.ConnectRequests(), std::vector<std::uint64_t>(3, 0x0000BEEFCAFE0001u));
    }
}

#ifdef _WIN32
// Wine has no Bluetooth radio and no AF_BTH sockets; a Windows machine without
// a radio behaves the same. Either way discovery and link fail cleanly.
TEST(WindowsBluetooth, WithoutARadioDiscoveryReportsNoRadio)
{
    TWin32Bluetooth platform;
    TMeterLink link(TMeterWay{&platform, &platform}, [] {});
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
    TMeterLink link(TMeterWay{&platform, &platform}, [] {});
    EXPECT_FALSE(link.FindMeter());
    EXPECT_FALSE(link.HasRadio());
}

// Wine has no AF_BTH sockets; on Windows nothing answers at address 0.
TEST(WindowsBluetooth, ALinkNobodyAnswersFailsCleanly)
{
    TWin32Bluetooth platform;
    TMeterLink link(TMeterWay{&platform, &platform}, [] {});
    EXPECT_FALSE(link.OpenLink());
    EXPECT_EQ(link.Stream(), nullptr);
}
#else
TEST(WindowsBluetooth, WithoutARadioDiscoveryReportsNoRadio)
{
    GTEST_SKIP() << "the Windows Bluetooth API exists on Windows only";
}
#endif

}  // namespace
