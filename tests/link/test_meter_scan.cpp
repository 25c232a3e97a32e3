// SPDX-License-Identifier: Apache-2.0
// The scan: every radio and every device that discovery's walk lists, the
// meter and its near misses marked, over the simulated computer.
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "link/meter_scan.h"
#include "platform/files/trace_file.h"
#include "sim/simulated_bluetooth.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/sound_use.h"
#include "tests/support/trace_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::u16string Meter(MeterDeviceNameView);

// A computer whose radios list what the test says at once, with no meter to connect to.
TSimulatedBluetooth Computer(TSimulatedRadios radios)
{
    return TSimulatedBluetooth(std::move(radios), [] { return InvalidSocket; }, 0ms);
}

TEST(MeterScan, SearchesEveryRadioAlsoAfterTheMeterAndClosesEveryHandle)
{
    TSimulatedBluetooth platform = Computer({{{Meter, 0xA1}},
                                             {},
                                             {{u"Phone", 0xC1, true, true, false}, {u"dravel-glax20k", 0xC2, false}}});
    const TScanResult scan = ScanRadios(platform, nullptr);

    const std::vector<std::string> calls = {
        "FindFirstRadio", "GetRadioInfo radio0", "FindFirstDevice radio0", "FindNextDevice devices0",
        "FindDeviceClose devices0", "CloseRadio radio0", "FindNextRadio", "GetRadioInfo radio1",
        "FindFirstDevice radio1", "CloseRadio radio1", "FindNextRadio", "GetRadioInfo radio2",
        "FindFirstDevice radio2", "FindNextDevice devices2", "FindNextDevice devices2", "FindDeviceClose devices2",
        "CloseRadio radio2", "FindNextRadio", "FindRadioClose radios"};
    EXPECT_EQ(platform.Calls(), calls);
    ExpectSoundUse(platform);
    // The same search as acquisition's, on every radio.
    const std::vector<TDeviceSearchParams> searches = platform.SearchParams();
    ASSERT_EQ(searches.size(), 3u);
    for (const TDeviceSearchParams &params : searches) {
        EXPECT_TRUE(params.ReturnRemembered && params.ReturnUnknown && params.IssueInquiry);
        EXPECT_FALSE(params.ReturnAuthenticated || params.ReturnConnected);
        EXPECT_EQ(params.TimeoutMultiplier, 3);
    }

    ASSERT_EQ(scan.Radios.size(), 3u);
    EXPECT_TRUE(scan.MeterListed());
    EXPECT_EQ(scan.Radios[2].Name, u"simulated radio 3");
    EXPECT_EQ(scan.Radios[2].Address, TSimulatedBluetooth::FirstRadioAddress + 2);
    ASSERT_EQ(scan.Radios[2].Devices.size(), 2u);
    const TScannedDevice &phone = scan.Radios[2].Devices[0];
    EXPECT_TRUE(phone.Remembered);
    EXPECT_FALSE(phone.Authenticated);
    EXPECT_EQ(scan.Radios[2].Devices[1].Comparison.Likeness, TNameLikeness::NearMiss);
}

// The program's own scan output (tests/app) shows a listed meter; here the rest.
TEST(MeterScan, TheReportListsRadiosAndDevicesAndSaysWhenTheMeterIsNotListed)
{
    TSimulatedBluetooth platform =
        Computer({{}, {{u"Phone", 0x001A7DDA7103, true, true, false}, {u"Dravel-GLAX20k ", 0x001A7DDA7102, false}}});
    EXPECT_EQ(ScanReport(ScanRadios(platform, nullptr)),
              "radio 1: \"simulated radio 1\" 0A:5E:00:00:00:01\n"
              "  no device listed\n"
              "radio 2: \"simulated radio 2\" 0A:5E:00:00:00:02\n"
              "  --meter bt:00:1A:7D:DA:71:03  remembered      \"Phone\"\n"
              "  --meter bt:00:1A:7D:DA:71:02  not remembered  \"Dravel-GLAX20k \"  <- near miss: spaces around it; "
              "its --meter option takes it\n"
              "The meter \"Dravel-GLAX20k\" is not listed; a near miss is no match: the name must be exactly "
              "\"Dravel-GLAX20k\", or pin the device with its --meter option.\n");
}

TEST(MeterScan, NoRadioGivesAnEmptyScan)
{
    TSimulatedBluetooth platform = Computer(TSimulatedBluetooth::NoRadio());
    const TScanResult scan = ScanRadios(platform, nullptr);
    EXPECT_TRUE(scan.Radios.empty());
    EXPECT_FALSE(scan.MeterListed());
}

// A discovery's start and end in the trace, whether acquisition or the scan walks it.
TEST(DiscoveryTrace, TellsRadiosDevicesTheMeterAndItsNearMisses)
{
    const struct {
        const char *Label;
        TSimulatedRadios Radios;
        bool Scan;
        std::string End;
    } cases[] = {
        {"no radio", {}, false, "ms: no radio"},
        {"acquisition stops at the meter",
         {{{u"dravel-glax20k", 0x1}, {Meter, 0xA1}, {u"Phone", 0x2}}, {{Meter, 0xB1}}},
         false,
         "ms: 1 radio searched, 2 devices listed, meter found at 00:00:00:00:00:A1"},
        {"the scan goes on and names the first meter",
         {{{u"dravel-glax20k", 0x1}, {Meter, 0xA1}, {u"Phone", 0x2}}, {{Meter, 0xB1}}},
         true,
         "ms: 2 radios searched, 4 devices listed, meter found at 00:00:00:00:00:A1"},
        {"near misses named",
         {{{Meter + u"2", 0x1}, {u"Phone", 0x2}, {u"DRAVEL-GLAX20K", 0x3}}},
         false,
         "ms: 1 radio searched, 3 devices listed, meter not found; near misses: \"Dravel-GLAX20k2\" "
         "00:00:00:00:00:01, \"DRAVEL-GLAX20K\" 00:00:00:00:00:03"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TScratchFolder folder("discovery-trace");
        const std::string path = folder.File("trace.txt");
        {
            TTraceFile trace(path);
            TSimulatedBluetooth platform = Computer(c.Radios);
            if (c.Scan) {
                ScanRadios(platform, &trace);
            } else {
                TMeterLink link(TMeterWay{&platform, &platform}, [] {}, &trace);
                link.FindMeter();
            }
        }
        const std::vector<std::string> texts = TraceTexts(path);
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[0], "discovery started");
        EXPECT_EQ(texts[1].rfind("discovery ended after ", 0), 0u) << texts[1];
        EXPECT_NE(texts[1].find(c.End), std::string::npos) << texts[1];
    }
}

} // namespace
