// SPDX-License-Identifier: Apache-2.0
// The simulated Bluetooth platform: its scripts as discovery sees them, its
// inquiry time, and links to the simulated meter, refused or not.
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "sim/local_sockets.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "tests/support/sound_use.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

TSocketHandle Refuse()
{
    return InvalidSocket;
}

struct TScriptCase {
    const char *Label;
    TSimulatedRadios Radios;
    bool Found;
    bool HasRadio;
    int Searches;
};

TEST(SimulatedBluetooth, ScriptsAreDiscoveredAsTheirNamesSay)
{
    const std::vector<TScriptCase> cases = {
        {"no radio", TSimulatedBluetooth::NoRadio(), false, false, 0},
        {"radios without devices", TSimulatedBluetooth::RadiosWithoutDevices(3), false, true, 3},
        {"meter on the first radio", TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceName), true, true, 1},
        {"meter on the second radio", TSimulatedBluetooth::MeterOnSecondRadio(MeterDeviceName), true, true, 2},
        {"look-alikes only", TSimulatedBluetooth::LookAlikesOnly(MeterDeviceName), false, true, 1},
        {"meter switched off", TSimulatedBluetooth::MeterSwitchedOff(MeterDeviceName), true, true, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TSimulatedBluetooth platform(c.Radios, Refuse, 0ms);
        TMeterLink link(TMeterWay{&platform, &platform}, [] {});
        EXPECT_EQ(link.FindMeter(), c.Found);
        EXPECT_EQ(link.HasRadio(), c.HasRadio);
        EXPECT_EQ(link.DeviceAddress(), c.Found ? TSimulatedBluetooth::MeterAddress : 0u);
        EXPECT_EQ(platform.Counts().Searches, c.Searches);
        ExpectSoundUse(platform);
    }
}

TEST(SimulatedBluetooth, EverySearchedRadioTakesTheInquiryTime)
{
    TSimulatedBluetooth platform(TSimulatedBluetooth::MeterOnSecondRadio(MeterDeviceName), Refuse, 60ms);
    TMeterLink link(TMeterWay{&platform, &platform}, [] {});
    const auto started = TClock::now();
    ASSERT_TRUE(link.FindMeter());
    const auto took = TClock::now() - started;
    EXPECT_GE(took, 120ms);
    EXPECT_LT(took, 5s);
}

TEST(SimulatedBluetooth, WithoutAnInquiryOnlyRememberedDevicesAreListed)
{
    TSimulatedBluetooth platform(TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceName), Refuse, 10s);
    TRadioHandle radio = nullptr;
    const TFindHandle radios = platform.FindFirstRadio(radio);
    ASSERT_NE(radios, nullptr);

    TDeviceSearchParams params;
    params.IssueInquiry = false;
    params.Radio = radio;
    TBluetoothDeviceInfo device;
    const auto started = TClock::now();
    const TFindHandle devices = platform.FindFirstDevice(params, device);
    EXPECT_LT(TClock::now() - started, 5s);  // no inquiry, no wait
    ASSERT_NE(devices, nullptr);
    EXPECT_EQ(std::u16string(device.Name.data()), MeterDeviceNameView);  // the headset is unknown
    EXPECT_FALSE(platform.FindNextDevice(devices, device));

    platform.FindDeviceClose(devices);
    platform.CloseRadio(radio);
    platform.FindRadioClose(radios);
    ExpectSoundUse(platform);
}

TEST(SimulatedBluetooth, TheLinkReachesTheSimulatedMeter)
{
    TSimulatedMeter meter;
    TSimulatedBluetooth platform(TSimulatedBluetooth::MeterOnSecondRadio(MeterDeviceName), meter, 0ms);
    TMeterLink link(TMeterWay{&platform, &platform}, [] {});
    ASSERT_TRUE(link.FindMeter());
    ASSERT_TRUE(link.OpenLink());

    IByteStream &stream = *link.Stream();
    const std::uint8_t request = 0x14;
    ASSERT_EQ(stream.Send(&request, 1), 1);
    std::vector<std::uint8_t> message(ReadingMessageSize);
    std::size_t received = 0;
    while (received < message.size()) {
        ASSERT_EQ(stream.WaitReadable({5, 0}), 1);
        const int got = stream.Receive(message.data() + received, static_cast<std::int32_t>(message.size() - received));
        ASSERT_GT(got, 0);
        received += static_cast<std::size_t>(got);
    }
    link.CloseLink();

    EXPECT_TRUE(meter.WaitForEndedConnections(1, 5s));
    EXPECT_EQ(meter.ReceivedBytes(0), std::vector<std::uint8_t>{0x14});
    EXPECT_EQ(platform.Counts().Connects, 1);
    ExpectSoundUse(platform);
}

struct TRefusalCase {
    const char *Label;
    TSimulatedRadios Radios;
    TMeterBehaviour Behaviour;
};

TEST(SimulatedBluetooth, AnUnreachableMeterFailsAtConnectAndLeavesNothingOpen)
{
    const std::vector<TRefusalCase> cases = {
        {"the meter refuses", TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceName), TMeterBehaviour::Refuse},
        {"the remembered meter is switched off", TSimulatedBluetooth::MeterSwitchedOff(MeterDeviceName),
         TMeterBehaviour::Answer},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TMeterOptions options;
        options.Behaviour = c.Behaviour;
        TSimulatedMeter meter(options);
        TSimulatedBluetooth platform(c.Radios, meter, 0ms);
        TMeterLink link(TMeterWay{&platform, &platform}, [] {});
        ASSERT_TRUE(link.FindMeter());
        for (int attempt = 0; attempt < 3; ++attempt)
            EXPECT_FALSE(link.OpenLink());
        const auto counts = platform.Counts();
        EXPECT_EQ(counts.FailedConnects, 3);
        EXPECT_EQ(counts.Connects, 0);
        ExpectSoundUse(platform);
    }
}

TEST(SimulatedBluetooth, AMeterSwitchedOnLaterIsFoundByTheNextDiscovery)
{
    TSimulatedBluetooth platform(TSimulatedBluetooth::RadiosWithoutDevices(1), Refuse, 0ms);
    TMeterLink link(TMeterWay{&platform, &platform}, [] {});
    EXPECT_FALSE(link.FindMeter());
    platform.SetRadios(TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceName));
    EXPECT_TRUE(link.FindMeter());
    ExpectSoundUse(platform);
}

TEST(SimulatedBluetooth, ReportsHandlesUsedWhenTheyAreNotOpen)
{
    TSimulatedBluetooth platform(TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceName), Refuse, 0ms);
    TRadioHandle radio = nullptr;
    const TFindHandle radios = platform.FindFirstRadio(radio);
    platform.CloseRadio(radio);
    platform.CloseRadio(radio);
    platform.FindRadioClose(radios);
    platform.FindRadioClose(radios);
    const std::vector<std::string> misuses = platform.Misuses();
    ASSERT_EQ(misuses.size(), 2u);
    EXPECT_EQ(misuses[0].rfind("CloseRadio", 0), 0u) << misuses[0];
    EXPECT_EQ(misuses[1].rfind("FindRadioClose", 0), 0u) << misuses[1];
}

}  // namespace
