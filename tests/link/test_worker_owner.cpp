// SPDX-License-Identifier: Apache-2.0
// The worker's owner: one worker at a time, published in BTthr, always ended
// through its orderly Shutdown, with every platform resource released.
#include "link/meter_identity.h"
#include "link/worker_owner.h"
#include "sim/simulated_bluetooth.h"
#include "tests/support/sound_use.h"
#include "tests/support/worker_test_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;
using TKind = THostCall::TKind;

// A computer whose radio lists no meter: the worker searches for as long as it runs.
TSimulatedBluetooth SearchWithoutEnd()
{
    return TSimulatedBluetooth(TSimulatedBluetooth::RadiosWithoutDevices(1), [] { return InvalidSocket; }, 0ms);
}

TEST(WorkerOwner, GoingEndsItsWorkerInOrderWhetherIdleOrSearching)
{
    for (const bool searching : {false, true}) {
        SCOPED_TRACE(searching ? "searching" : "idle");
        TSimulatedBluetooth platform = SearchWithoutEnd();
        TTestInterfaceThread ui;
        TWorkerTestHost host{ui};
        std::optional<TWorkerOwner> owner(std::in_place);
        ui.Run([&] {
            owner->Start(host, TMeterWay{&platform, &platform}, ui.Synchronizer());
            EXPECT_EQ(BTthr, owner->Worker());
            if (searching)
                BTthr->RequestStart();
        });
        if (searching) {
            ASSERT_TRUE(host.WaitForCount(TKind::RunState, 1)) << "the worker never took up Start";
        }
        // Meanwhile the interface thread runs this call: only the owner's end
        // serves the worker's hand-offs.
        ui.Run([&] { owner.reset(); });
        EXPECT_EQ(BTthr, nullptr);
        ASSERT_FALSE(host.Colors().empty());
        EXPECT_EQ(host.Colors().back(), IndicatorGrey);
        ExpectSoundUse(platform);
    }
}

// Ends the worker once more from inside the indicator hand-off that the owner's
// Shutdown serves, as a window's close would from a message loop.
class TShutdownAgainHost : public TWorkerTestHost {
public:
    TShutdownAgainHost(const TTestInterfaceThread &ui, TWorkerOwner &owner) : TWorkerTestHost(ui), FOwner(owner) {}
    void ShowIndicator(TColor color) override
    {
        TWorkerTestHost::ShowIndicator(color);
        FOwner.Shutdown();
    }

private:
    TWorkerOwner &FOwner;
};

TEST(WorkerOwner, AShutdownAskedAgainWhileTheFirstWaitsFindsNothingToEnd)
{
    TSimulatedBluetooth platform = SearchWithoutEnd();
    TTestInterfaceThread ui;
    TWorkerOwner owner;
    TShutdownAgainHost host(ui, owner);
    ui.SetServing(false);  // the worker's first hand-off waits for Shutdown
    ui.Run([&] {
        owner.Start(host, TMeterWay{&platform, &platform}, ui.Synchronizer());
        owner.Shutdown();
    });
    EXPECT_EQ(host.Colors(), std::vector<TColor>{IndicatorGrey});
    EXPECT_EQ(BTthr, nullptr);
    EXPECT_EQ(owner.Worker(), nullptr);
    ExpectSoundUse(platform);
}

TEST(WorkerOwner, ASecondWorkerIsRefusedAndTheFirstRunsOn)
{
    TSimulatedBluetooth platform = SearchWithoutEnd();
    TTestInterfaceThread ui;
    TWorkerTestHost host{ui};
    TWorkerOwner first, second;
    ui.Run([&] {
        first.Start(host, TMeterWay{&platform, &platform}, ui.Synchronizer());
        EXPECT_THROW(first.Start(host, TMeterWay{&platform, &platform}, ui.Synchronizer()), std::logic_error);
        EXPECT_THROW(second.Start(host, TMeterWay{&platform, &platform}, ui.Synchronizer()), std::logic_error);
        EXPECT_EQ(BTthr, first.Worker());
        EXPECT_EQ(second.Worker(), nullptr);
        BTthr->RequestStart();
    });
    EXPECT_TRUE(host.WaitForCount(TKind::RunState, 1)) << "the first worker no longer runs";
    ui.Run([&] { first.Shutdown(); });
    EXPECT_EQ(BTthr, nullptr);
    ExpectSoundUse(platform);
}

// A shutdown with a deadline waits for a worker that ends, and lets go of one
// held in a search the system does not end (here: held until the test says).
TEST(WorkerOwner, AShutdownWithADeadlineLetsGoOfAWorkerThatDoesNotEndInTime)
{
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held in a search" : "searching");
        TSimulatedBluetooth platform = SearchWithoutEnd();
        platform.SetHold(held);
        TTestInterfaceThread ui;
        TWorkerTestHost host{ui};
        TWorkerOwner owner;
        ui.Run([&] {
            owner.Start(host, TMeterWay{&platform, &platform}, ui.Synchronizer());
            BTthr->RequestStart();
        });
        ASSERT_TRUE(platform.WaitForDiscoveries(1));
        GLAXBTthr *worker = owner.Worker();
        bool ended = false;
        const auto before = std::chrono::steady_clock::now();
        ui.Run([&] { ended = owner.ShutdownBy(std::chrono::steady_clock::now() + 300ms); });
        const auto waited = std::chrono::steady_clock::now() - before;
        EXPECT_EQ(ended, !held);
        EXPECT_EQ(owner.Worker(), nullptr);
        EXPECT_EQ(BTthr, nullptr);
        if (held) {
            EXPECT_GE(waited, 300ms);
            EXPECT_LT(waited, 3s) << "the deadline was not kept";
            // Let go, the worker ends on its own; the test frees it, as the
            // process's end would.
            const std::unique_ptr<GLAXBTthr> abandoned(worker);
            platform.SetHold(false);
            ui.Run([&] { EXPECT_TRUE(abandoned->Shutdown()); });
        }
        ExpectSoundUse(platform);
    }
}

}  // namespace
