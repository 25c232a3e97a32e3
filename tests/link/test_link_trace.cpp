// SPDX-License-Identifier: Apache-2.0
// The trace of the acquisition worker's cycles, against the simulated meter on
// real sockets misbehaving in each of its ways: what each step wrote, and what
// came of each message.
#include "link/link_trace.h"
#include "link/worker_owner.h"
#include "link/meter_identity.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "platform/files/trace_file.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/trace_lines.h"
#include "tests/support/worker_test_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

TMeterMessage TextMessage(const std::string &text)
{
    TMeterMessage message{};
    std::memcpy(message.data(), text.data(), std::min(text.size(), message.size()));
    return message;
}

std::string Hex(const TMeterMessage &message)
{
    std::string hex;
    char byte[4];
    for (std::size_t i = 0; i < message.size(); ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", message[i]);
        hex += byte;
    }
    return hex;
}

TMeterOptions Behaving(TMeterBehaviour behaviour, std::size_t shortLength = 100)
{
    TMeterOptions options;
    options.Behaviour = behaviour;
    options.ShortLength = shortLength;
    return options;
}

// One worker with its trace, on the simulated computer, from Start through
// its first cycle.
class TTracedRun {
public:
    // The exchange's fixed pauses are scaled by `pauseScale`.
    TTracedRun(TMeterOptions options, TSimulatedRadios radios, double pauseScale = 0.0)
        : FPauses(pauseScale), FMeter(std::move(options)), FPlatform(std::move(radios), FMeter, 0ms), FTrace(FFolder.File("trace.txt"))
    {
        ui.Run([this] {
            FWorker.Start(host, TMeterWay{&FPlatform, &FPlatform}, ui.Synchronizer(), &FTrace);
            BTthr->RequestStart();
        });
    }
    ~TTracedRun() { Stop(); }

    // Ends the worker once the trace holds `last`; the trace's texts.
    std::vector<std::string> TextsUntil(const std::string &last)
    {
        EXPECT_TRUE(WaitForTraceText(Path(), last)) << "no \"" << last << "\" in the trace";
        Stop();
        return TraceTexts(Path());
    }

    std::string Path() const { return FFolder.File("trace.txt"); }
    TSimulatedMeter &Meter() { return FMeter; }

    TTestInterfaceThread ui;
    TWorkerTestHost host{ui};

private:
    void Stop()
    {
        ui.Run([this] { FWorker.Shutdown(); });
    }

    TPauseScaleGuard FPauses;
    TScratchFolder FFolder{"link-trace"};
    TSimulatedMeter FMeter;
    TSimulatedBluetooth FPlatform;
    TTraceFile FTrace;
    TWorkerOwner FWorker;  // ended by Stop() on the interface thread
};

struct TTraceCase {
    const char *Label;
    TMeterOptions Options;
    std::function<TSimulatedRadios()> Radios;
    std::vector<std::string> Expected;  // in this order, the last one ending the cycle
    std::vector<std::string> Absent;
    // The exchange's fixed pauses, scaled: a pause before the first receive
    // lets a meter's close arrive first also on a slow (sanitized) build.
    double PauseScale = 0;
};

TSimulatedRadios MeterRadio()
{
    return TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView);
}

TEST(LinkTrace, EachCycleTellsItsStepsAndWhatCameOfTheMessage)
{
    TMeterOptions unparsable;
    unparsable.Messages = std::vector<TMeterMessage>{
        TextMessage("x:123456\r\nx:AB1\r\nx:14.5\r\nx:21.3\r\nx:101\r\nx:102\r\nx:103\r\nx:104\r\nB12.3%T4.5%S60.1%\r\n")};
    TMeterOptions lateRest;
    lateRest.Behaviour = TMeterBehaviour::Pieces;
    lateRest.PieceSizes = {60};
    lateRest.PieceGap = 50ms;

    const std::string connect = "connecting to 00:A4:C1:38:0F:2B";
    const TTraceCase cases[] = {
        {"a meter that answers",
         {},
         MeterRadio,
         {"discovery started", "1 radio searched, 2 devices listed, meter found at 00:A4:C1:38:0F:2B", connect,
          "connected", "request sent", "reply ready after", "received 136 bytes (136 of 136)", "message (136 bytes): ",
          "acknowledgement sent", "accepted as row 1", "link closed"},
         {"dropped", "timed out", "stopped short"}},
        {"a silent meter",
         Behaving(TMeterBehaviour::Silent),
         MeterRadio,
         {"connected", "request sent", "reply wait timed out", "link closed"},
         {"received", "acknowledgement sent", "accepted", "dropped"}},
        {"a message that stops short",
         Behaving(TMeterBehaviour::StopShort, 100),
         MeterRadio,
         {"request sent", "reply ready after", "received 100 bytes (100 of 136)", "message (100 bytes): ",
          "stopped short after 100 bytes", "acknowledgement sent", "link closed"},
         {"accepted", "dropped"}},
        {"the rest of the message too late",
         lateRest,
         MeterRadio,
         {"received 60 bytes (60 of 136)", "stopped short after 60 bytes", "acknowledgement sent", "link closed"},
         {"accepted"}},
        {"a meter that hangs up mid-message",
         Behaving(TMeterBehaviour::CloseMidMessage, 60),
         MeterRadio,
         {"received 60 bytes (60 of 136)", "message (60 bytes): ", "the meter closed the connection after 60 bytes",
          "link closed"},
         {"acknowledgement sent", "accepted"},
         0.25},
        {"a meter that hangs up before answering",
         Behaving(TMeterBehaviour::CloseMidMessage, 0),
         MeterRadio,
         {"request sent", "the meter closed the connection before sending", "link closed"},
         {"acknowledgement sent"}},
        {"a meter that sends more than the message",
         Behaving(TMeterBehaviour::ExtraBytes),
         MeterRadio,
         {"received 136 bytes (136 of 136)", "acknowledgement sent", "accepted as row 1", "link closed"},
         {"dropped"}},
        {"a message that does not parse",
         unparsable,
         MeterRadio,
         {"received 136 bytes (136 of 136)", "acknowledgement sent",
          "dropped: no 'W' for water at or after value 8", "link closed"},
         {"accepted"}},
        {"a meter that refuses the connection",
         Behaving(TMeterBehaviour::Refuse),
         MeterRadio,
         {"meter found at", connect, "connection failed: the meter refused the connection"},
         {"connected", "request sent"}},
        {"a remembered meter switched off",
         {},
         [] { return TSimulatedBluetooth::MeterSwitchedOff(MeterDeviceNameView); },
         {connect, "connection failed: no device answers at this address: switched off or out of reach"},
         {"request sent"}},
        {"look-alikes only",
         {},
         [] { return TSimulatedBluetooth::LookAlikesOnly(MeterDeviceNameView); },
         {"1 radio searched, 5 devices listed, meter not found; near misses: \"dravel-glax20k\" 00:1A:7D:DA:72:01, "
          "\"Dravel-GLAX20k \" 00:1A:7D:DA:72:02, \"Dravel-GLAX20k2\" 00:1A:7D:DA:72:03, \"Dravel-GLAX20\" "
          "00:1A:7D:DA:72:04"},
         {"connecting"}},
        {"no radio", {}, TSimulatedBluetooth::NoRadio, {"discovery started", "ms: no radio"}, {"connecting"}},
    };
    for (const TTraceCase &c : cases) {
        SCOPED_TRACE(c.Label);
        TTracedRun run(c.Options, c.Radios(), c.PauseScale);
        const std::vector<std::string> texts = run.TextsUntil(c.Expected.back());
        ExpectTextsInOrder(texts, c.Expected);
        // Only the first cycle: the worker searches again at once after it.
        const std::size_t secondCycle = FindText(texts, "discovery started", 1);
        for (const std::string &absent : c.Absent) {
            const std::size_t at = FindText(texts, absent);
            EXPECT_TRUE(at >= secondCycle) << "\"" << absent << "\" in the first cycle: " << texts[at];
        }
    }
}

TEST(LinkTrace, TheMessageIsTracedByteForByteAndEachAcceptedRowByItsNumber)
{
    TTracedRun run({}, MeterRadio());
    const std::vector<std::string> texts = run.TextsUntil("accepted as row 2");
    const std::vector<TMeterMessage> served = run.Meter().ServedMessages();
    ASSERT_GE(served.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const std::size_t message = FindText(texts, "message (136 bytes): ", i == 0 ? 0 : FindText(texts, "row 1"));
        ASSERT_LT(message, texts.size());
        EXPECT_EQ(texts[message], "message (136 bytes): " + Hex(served[i]));
    }
    // One "accepted" line for each row the host took, numbered as the rows are
    // (the worker may have taken one more before it ended).
    std::vector<std::string> accepted;
    for (const std::string &text : texts)
        if (text.rfind("accepted as row ", 0) == 0)
            accepted.push_back(text);
    ASSERT_EQ(accepted.size(), run.host.CountOf(THostCall::TKind::Reading));
    for (std::size_t i = 0; i < accepted.size(); ++i)
        EXPECT_EQ(accepted[i], "accepted as row " + std::to_string(i + 1));
}

// Opens the scopes from `level` on, each inside the one before, and looks at
// the trace in force in each, and again once each has ended.
void ExpectEachScopeGivesBackTheTraceBefore(const std::vector<TTraceFile *> &traces, std::size_t level = 0)
{
    if (level == traces.size())
        return;
    TTraceFile *const before = ProgramLinkTrace();
    {
        const TProgramLinkTrace scope(traces[level]);
        EXPECT_EQ(ProgramLinkTrace(), traces[level]) << "in scope " << level + 1;
        ExpectEachScopeGivesBackTheTraceBefore(traces, level + 1);
        EXPECT_EQ(ProgramLinkTrace(), traces[level]) << "in scope " << level + 1 << " once the scopes in it ended";
    }
    EXPECT_EQ(ProgramLinkTrace(), before) << "once scope " << level + 1 << " ended";
}

TEST(LinkTrace, AScopeThatEndsGivesBackTheTraceInForceBeforeIt)
{
    TScratchFolder folder("link-trace-scopes");
    TTraceFile first(folder.File("first.txt")), second(folder.File("second.txt"));
    struct TScopeCase {
        const char *Label;
        std::vector<TTraceFile *> Traces;  // the outermost scope's first
    };
    const TScopeCase cases[] = {
        {"a scope over no trace", {&first}},
        {"a scope over another scope", {&first, &second}},
        {"three deep, one trace in two of them", {&first, &second, &first}},
        {"a scope of no trace over a trace", {&first, nullptr}},
    };
    ASSERT_EQ(ProgramLinkTrace(), nullptr) << "a trace is left in force from before";
    for (const TScopeCase &c : cases) {
        SCOPED_TRACE(c.Label);
        ExpectEachScopeGivesBackTheTraceBefore(c.Traces);
    }
}

} // namespace
