// SPDX-License-Identifier: Apache-2.0
#include "link/meter_identity.h"
#include "link/worker_owner.h"
#include "sim/reading_generator.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "platform/threads/synchronize.h"
#include "tests/support/sound_use.h"
#include "tests/support/thread_limit.h"
#include "tests/support/wait_until.h"
#include "tests/support/worker_test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using TKind = THostCall::TKind;

namespace {

constexpr TColor Grey = IndicatorGrey, Blue = IndicatorBlue, Red = IndicatorRed, Yellow = IndicatorYellow;

std::vector<std::int64_t> Values(const std::vector<THostCall> &calls)
{
    std::vector<std::int64_t> values;
    for (const THostCall &call : calls)
        values.push_back(call.Value);
    return values;
}

std::size_t IndexOf(const std::vector<THostCall> &calls, TKind kind, std::size_t nth = 0)
{
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].Kind == kind && nth-- == 0)
            return i;
    return calls.size();
}

TMeterMessage TextMessage(const std::string &text)
{
    TMeterMessage message{};
    std::memcpy(message.data(), text.data(), std::min(text.size(), message.size()));
    return message;
}

// A message whose water part is missing: it does not parse.
TMeterMessage UnparsableMessage()
{
    return TextMessage("x:123456\r\nx:AB1\r\nx:14.5\r\nx:21.3\r\nx:101\r\nx:102\r\nx:103\r\nx:104\r\nB12.3%T4.5%S60.1%\r\n");
}

class Worker : public testing::Test {
protected:
    void TearDown() override
    {
        if (owner.Worker() == nullptr)
            return;
        platform->SetHold(false);  // a held discovery would keep the worker from ending
        Shutdown();
    }

    // Makes the meter and the simulated computer, whose one radio lists the
    // meter, without an inquiry's wait.
    void MakeComputer(TMeterOptions options = {})
    {
        meter = std::make_unique<TSimulatedMeter>(std::move(options));
        platform = std::make_unique<TSimulatedBluetooth>(TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView),
                                                         *meter, 0ms);
    }
    // Makes the computer, creates the worker on the interface thread as the
    // main window does, and starts it.
    void StartWorker(TMeterOptions options = {})
    {
        MakeComputer(std::move(options));
        ui.Run([this] { owner.Start(host, TMeterWay{&*platform, &*platform}, ui.Synchronizer()); });
    }

    void PressStart()
    {
        ui.Run([this] { owner.Worker()->RequestStart(); });
    }
    void PressStop()
    {
        ui.Run([this] { owner.Worker()->RequestStop(); });
    }
    bool IsActive()
    {
        bool active = false;
        ui.Run([&] { active = owner.Worker()->IsActive(); });
        return active;
    }
    // Returns how long Shutdown took.
    std::chrono::milliseconds Shutdown()
    {
        const auto begin = TTestClock::now();
        ui.Run([this] { owner.Shutdown(); });
        return std::chrono::duration_cast<std::chrono::milliseconds>(TTestClock::now() - begin);
    }
    // Starts acquisition with discovery held, and waits until the first
    // discovery has begun.
    void StartAndHoldFirstDiscovery()
    {
        platform->SetHold(true);
        PressStart();
        ASSERT_TRUE(platform->WaitForDiscoveries(1));
    }
    // Waits until the worker has looked at its commands `more` times from now:
    // whatever it was about to do on its own, it has done by then.
    void WaitForCommandChecks(std::uint64_t more = 2)
    {
        const std::uint64_t from = owner.Worker()->CommandChecks();
        ASSERT_TRUE(WaitUntil([&] { return owner.Worker()->CommandChecks() >= from + more; }))
            << "the worker has stopped looking at its commands";
    }
    // Shuts the worker down while its discovery is held, and lets discovery
    // go on from inside Shutdown, once the stop is set: the release is a
    // hand-off, and with the loop no longer serving them only Shutdown does.
    // Discovery is let go for good, so that a worker that went on searching
    // fails the test instead of hanging it.
    void ShutdownReleasingTheHeldDiscovery()
    {
        ui.SetServing(false);
        std::atomic<bool> released{false};
        std::thread releaser([&] {
            ui.Synchronizer().Synchronize([this] { platform->SetHold(false); });
            released = true;
        });
        Shutdown();
        EXPECT_TRUE(WaitUntil([&] { return released.load(); }, 2s)) << "Shutdown never ran the releasing hand-off";
        ui.SetServing(true);  // runs it now, so that the releaser ends
        releaser.join();
    }
    // The one radio lists the meter, or only names like it.
    void ListMeter(bool listed)
    {
        platform->SetRadios(listed ? TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView)
                                   : TSimulatedBluetooth::LookAlikesOnly(MeterDeviceNameView));
    }
    void RemoveRadio() { platform->SetRadios(TSimulatedBluetooth::NoRadio()); }
    int Discoveries() const { return platform->Counts().Discoveries; }

    TPauseScaleGuard pauses{0.0};  // the exchange's fixed pauses are not what these tests are about
    TTestInterfaceThread ui;
    TWorkerTestHost host{ui};
    std::unique_ptr<TSimulatedMeter> meter;
    std::unique_ptr<TSimulatedBluetooth> platform;
    TWorkerOwner owner;  // ends the worker before the computer and meter go
};

}  // namespace

TEST_F(Worker, StartsIdleWithGreyIndicatorAndTakesUpStartWithinAboutTenMilliseconds)
{
    StartWorker();
    ASSERT_TRUE(host.WaitForCount(TKind::Indicator, 1));
    EXPECT_EQ(host.Colors(), std::vector<TColor>{Grey});
    EXPECT_FALSE(IsActive());

    platform->SetHold(true);
    const auto pressed = TTestClock::now();
    PressStart();
    ASSERT_TRUE(host.WaitForCount(TKind::RunState, 1));
    const std::vector<THostCall> calls = host.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1].Kind, TKind::Indicator);
    EXPECT_EQ(calls[1].Value, Blue);
    EXPECT_EQ(calls[2].Kind, TKind::RunState);
    EXPECT_EQ(calls[2].Value, 1);
    EXPECT_LT(calls[2].Time - pressed, 1s) << "the idle worker looks at its command every 10 ms";
    EXPECT_TRUE(IsActive());
}

// One cycle of acquisition, from the discovery after Start to the start of the
// next discovery, for each way the meter and the link can behave.
struct TCycleCase {
    const char *name;
    bool listsMeter;
    bool connectFails;
    TMeterBehaviour behaviour;
    bool unparsable;
    std::vector<TColor> colors;  // after the initial grey and the blue of Start
    std::size_t readings;
    bool acknowledged;
};

class WorkerCycle : public Worker, public testing::WithParamInterface<TCycleCase> {};

TEST_P(WorkerCycle, IndicatorReadingsAndLinkFollowTheMeter)
{
    const TCycleCase &c = GetParam();
    TMeterOptions options;
    options.Behaviour = c.behaviour;
    if (c.unparsable)
        options.Messages = std::vector<TMeterMessage>{UnparsableMessage()};
    StartWorker(options);
    ListMeter(c.listsMeter);
    platform->SetFaults({.ConnectFails = c.connectFails});
    StartAndHoldFirstDiscovery();

    platform->Release(1);
    ASSERT_TRUE(platform->WaitForDiscoveries(2)) << "searching goes on after the cycle";

    std::vector<TColor> colors = host.Colors();
    ASSERT_GE(colors.size(), 2u);
    EXPECT_EQ(colors[0], Grey);
    EXPECT_EQ(colors[1], Blue);
    EXPECT_EQ(std::vector<TColor>(colors.begin() + 2, colors.end()), c.colors);
    EXPECT_EQ(host.CountOf(TKind::Reading), c.readings);
    EXPECT_EQ(host.CountOf(TKind::NoRadioError), 0u) << "no message for a meter that cannot be reached";
    EXPECT_EQ(Values(host.CallsOf(TKind::RunState)), std::vector<std::int64_t>{1});
    for (const THostCall &call : host.Calls())
        EXPECT_TRUE(call.OnInterfaceThread);
    ExpectSoundUse(*platform);
    if (meter->ConnectionCount() > 0) {
        ASSERT_TRUE(meter->WaitForEndedConnections(1, 5000ms)) << "the link is closed after the exchange";
        const std::vector<std::uint8_t> received = meter->ReceivedBytes(0);
        const bool acked = std::find(received.begin(), received.end(), AckByte) != received.end();
        EXPECT_EQ(acked, c.acknowledged);
    }
    EXPECT_TRUE(IsActive());
}

INSTANTIATE_TEST_SUITE_P(
    Worker, WorkerCycle,
    testing::Values(
        TCycleCase{"MeterAnswers", true, false, TMeterBehaviour::Answer, false, {Blue, Blue, Blue, Red, Yellow, Blue}, 1, true},
        TCycleCase{"MeterNotListed", false, false, TMeterBehaviour::Answer, false, {Blue, Blue}, 0, false},
        TCycleCase{"RememberedMeterSwitchedOff", true, true, TMeterBehaviour::Answer, false, {Blue, Blue, Blue, Blue}, 0, false},
        TCycleCase{"MeterNeverAnswers", true, false, TMeterBehaviour::Silent, false, {Blue, Blue, Blue, Red, Yellow, Blue}, 0, false},
        TCycleCase{"MessageStopsShort", true, false, TMeterBehaviour::StopShort, false, {Blue, Blue, Blue, Red, Yellow, Blue}, 0, true},
        TCycleCase{"MessageDoesNotParse", true, false, TMeterBehaviour::Answer, true, {Blue, Blue, Blue, Red, Yellow, Blue}, 0, true}),
    [](const testing::TestParamInfo<TCycleCase> &info) { return std::string(info.param.name); });

TEST_F(Worker, ReadingAfterAnUnparsableMessageArrivesInTheNextCycle)
{
    TMeterOptions options;
    options.Messages = std::vector<TMeterMessage>{UnparsableMessage(),
                                                  TReadingGenerator::Format(TReadingGenerator(7).Next())};
    StartWorker(options);
    PressStart();
    ASSERT_TRUE(host.WaitForCount(TKind::Reading, 1));
    EXPECT_EQ(meter->MessagesServed(), 2u);
    const TReading reading = host.CallsOf(TKind::Reading)[0].Reading;
    EXPECT_EQ(FieldText(reading.Serial).size(), 6u);
    EXPECT_GT(reading.Timestamp, 0);
}

TEST_F(Worker, StartPressedTwiceBeforeTheWorkerLooksStartsOnceAndLeavesNoCommandPending)
{
    ui.SetServing(false);  // the worker stays in its first hand-off meanwhile
    StartWorker();
    platform->SetHold(true);
    PressStart();
    PressStart();
    ui.SetServing(true);
    ASSERT_TRUE(platform->WaitForDiscoveries(1));
    EXPECT_EQ(Values(host.CallsOf(TKind::RunState)), std::vector<std::int64_t>{1});

    PressStop();  // must be posted: the second Start left nothing behind
    EXPECT_EQ(host.CountOf(TKind::StopOverlay), 1u);
    ListMeter(false);
    platform->Release(1);
    ASSERT_TRUE(host.WaitForCount(TKind::RunState, 2));
    EXPECT_EQ(Values(host.CallsOf(TKind::RunState)), (std::vector<std::int64_t>{1, 0}));
}

TEST_F(Worker, StopDuringADiscoveryThatFindsNoMeterIsTakenUpAtTheNextAttempt)
{
    StartWorker();
    ListMeter(false);
    StartAndHoldFirstDiscovery();
    PressStop();
    EXPECT_EQ(host.CountOf(TKind::StopOverlay), 1u);
    EXPECT_EQ(host.CountOf(TKind::RunState), 1u) << "the discovery under way runs to its end first";

    platform->Release(1);
    ASSERT_TRUE(host.WaitForCount(TKind::RunState, 2));
    const std::vector<THostCall> calls = host.Calls();
    const std::size_t stopped = IndexOf(calls, TKind::RunState, 1);
    EXPECT_EQ(calls[stopped].Value, 0);
    EXPECT_EQ(calls[stopped - 1].Kind, TKind::Indicator);
    EXPECT_EQ(calls[stopped - 1].Value, Grey);
    EXPECT_FALSE(IsActive());
    WaitForCommandChecks();
    EXPECT_EQ(Discoveries(), 1) << "no discovery after the stop";
    EXPECT_EQ(meter->ConnectionCount(), 0u);
}

TEST_F(Worker, StopDuringADiscoveryThatFindsTheMeterWaitsForOneExchange)
{
    StartWorker();
    StartAndHoldFirstDiscovery();
    PressStop();
    platform->Release(1);
    ASSERT_TRUE(host.WaitForCount(TKind::RunState, 2));
    const std::vector<THostCall> calls = host.Calls();
    EXPECT_LT(IndexOf(calls, TKind::Reading), IndexOf(calls, TKind::RunState, 1))
        << "the exchange runs first, and its reading reaches the table";
    EXPECT_EQ(calls[IndexOf(calls, TKind::RunState, 1)].Value, 0);
    EXPECT_EQ(host.Colors().back(), Grey);
    EXPECT_EQ(Discoveries(), 1);
    ExpectSoundUse(*platform);
}

TEST_F(Worker, NoRadioShowsBlueForOneDiscoveryThenGreyStartAndTheBoxOnce)
{
    StartWorker();
    RemoveRadio();
    PressStart();
    ASSERT_TRUE(host.WaitForCount(TKind::NoRadioError, 1));
    WaitForCommandChecks();
    const std::vector<THostCall> calls = host.Calls();
    EXPECT_EQ(host.Colors(), (std::vector<TColor>{Grey, Blue, Blue, Grey}));
    EXPECT_EQ(Values(host.CallsOf(TKind::RunState)), (std::vector<std::int64_t>{1, 0}));
    EXPECT_EQ(host.CountOf(TKind::NoRadioError), 1u);
    EXPECT_EQ(calls.back().Kind, TKind::NoRadioError) << "grey, then Start, then the box";
    EXPECT_EQ(Discoveries(), 1);
    EXPECT_FALSE(IsActive());

    ListMeter(true);
    platform->SetHold(true);
    PressStart();
    EXPECT_TRUE(platform->WaitForDiscoveries(2)) << "Start again runs a new discovery";
}

// A stop posted just before the worker falls back to idle on its own (no
// radio) has nothing left to stop; it must not stay pending and swallow the
// next Start.
TEST_F(Worker, StopOvertakenByTheNoRadioFallbackDoesNotBlockTheNextStart)
{
    StartWorker();
    RemoveRadio();
    StartAndHoldFirstDiscovery();
    PressStop();
    platform->Release(1);
    ASSERT_TRUE(host.WaitForCount(TKind::NoRadioError, 1));
    EXPECT_EQ(Values(host.CallsOf(TKind::RunState)), (std::vector<std::int64_t>{1, 0}))
        << "the fallback's run state releases the overlay";

    ListMeter(true);
    WaitForCommandChecks();  // the stop overtaken has been looked at
    PressStart();
    ASSERT_TRUE(platform->WaitForDiscoveries(2)) << "the Start was taken up";
    EXPECT_EQ(Values(host.CallsOf(TKind::RunState)), (std::vector<std::int64_t>{1, 0, 1}));
    EXPECT_TRUE(IsActive());
}

TEST_F(Worker, ShutdownWhileIdleEndsPromptlyAndEmptiesTheReference)
{
    StartWorker();
    ASSERT_TRUE(host.WaitForCount(TKind::Indicator, 1));
    WaitForCommandChecks(1);  // idle in its loop
    const auto took = Shutdown();
    EXPECT_LT(took, 500ms) << "about 10 ms plus scheduling";
    EXPECT_EQ(BTthr, nullptr);
    EXPECT_EQ(host.Colors(), std::vector<TColor>{Grey});
}

TEST_F(Worker, ShutdownWhileSearchingLetsTheDiscoveryEndThenTurnsGreyWithoutTouchingTheCaption)
{
    StartWorker();
    ListMeter(false);
    StartAndHoldFirstDiscovery();
    ShutdownReleasingTheHeldDiscovery();
    EXPECT_EQ(host.Colors().back(), Grey);
    EXPECT_EQ(Values(host.CallsOf(TKind::RunState)), std::vector<std::int64_t>{1});
    EXPECT_EQ(Discoveries(), 1);
    ExpectSoundUse(*platform);
}

TEST_F(Worker, ShutdownWhileSearchingForAMeterThatIsFoundStillAddsItsReading)
{
    StartWorker();
    StartAndHoldFirstDiscovery();
    ShutdownReleasingTheHeldDiscovery();
    EXPECT_EQ(host.CountOf(TKind::Reading), 1u);
    EXPECT_EQ(Discoveries(), 1);
    ExpectSoundUse(*platform);
}

TEST_F(Worker, ShutdownDuringAnExchangeCompletesItAndTheReadingReachesTheTable)
{
    TMeterOptions options;
    options.ReplyDelay = 200ms;
    StartWorker(options);
    platform->SetHold(true);
    PressStart();
    platform->Release(1);
    ASSERT_TRUE(host.WaitUntil([](const std::vector<THostCall> &calls) {
        return !calls.empty() && calls.back().Kind == TKind::Indicator && calls.back().Value == Red;
    }));
    Shutdown();
    EXPECT_EQ(host.CountOf(TKind::Reading), 1u);
    EXPECT_EQ(Discoveries(), 1);
    ExpectSoundUse(*platform);
    EXPECT_TRUE(meter->WaitForEndedConnections(1, 5000ms));
}

TEST_F(Worker, ShutdownRunsTheHandOffThatTheWorkerIsWaitingIn)
{
    // Nothing serves hand-offs but Shutdown itself: the worker is blocked in
    // its first indicator hand-off and would never see its stop event.
    ui.SetServing(false);
    StartWorker();
    ASSERT_TRUE(ui.WaitForHandOff());
    EXPECT_EQ(host.CountOf(TKind::Indicator), 0u);
    const auto took = Shutdown();
    EXPECT_EQ(host.Colors(), std::vector<TColor>{Grey});
    EXPECT_LT(took, 2000ms);
}

TEST_F(Worker, ShutdownRunsTheHandOffsOfAnExchangeUnderWay)
{
    StartWorker();
    platform->SetHold(true);
    PressStart();
    ASSERT_TRUE(platform->WaitForDiscoveries(1));
    ui.SetServing(false);  // from here on only Shutdown serves the worker
    platform->Release(1);
    ASSERT_TRUE(ui.WaitForHandOff()) << "the worker waits in the exchange's first hand-off";
    Shutdown();
    EXPECT_EQ(host.CountOf(TKind::Reading), 1u);
    ExpectSoundUse(*platform);
}

TEST_F(Worker, NeverStartedWorkerShutsDownAtOnce)
{
    MakeComputer();
    const auto begin = TTestClock::now();
    ui.Run([this] {
        GLAXBTthr unstarted(host, TMeterWay{&*platform, &*platform}, ui.Synchronizer());
        unstarted.Shutdown();
    });
    EXPECT_LT(TTestClock::now() - begin, 1000ms);
    EXPECT_TRUE(host.Calls().empty());
}

TEST(WorkerStart, AWorkerWhoseThreadTheSystemRefusesShutsDownAtOnce)
{
    // Its own process, whose interface thread is the test's: a child of a
    // process with threads has only the thread that forked it.
    std::string whyNot;
    const auto outcome = RunWithoutThreads(
        [] {
            struct TNoHost : IWorkerHost {
                void ShowIndicator(TColor) override {}
                void ShowRunState(TRunState) override {}
                void ShowNoRadioError() override {}
                void ShowStopOverlay() override {}
                void AddReading(const TReading &) override {}
            } host;
            TSynchronizer synchronizer;
            TSimulatedBluetooth platform(TSimulatedBluetooth::NoRadio(), [] { return InvalidSocket; });
            TWorkerOwner owner;
            try {
                owner.Start(host, TMeterWay{&platform, &platform}, synchronizer);
                return ThreadMadeAfterAll;
            } catch (const std::system_error &) {
            }
            return BTthr == nullptr && owner.Worker() == nullptr ? 0 : 4;
        },
        10s, whyNot);
    if (!outcome)
        GTEST_SKIP() << whyNot;
    ASSERT_TRUE(outcome->Finished) << "Shutdown waited for ever for a thread that never ran";
    EXPECT_EQ(outcome->ExitCode, 0);
}
