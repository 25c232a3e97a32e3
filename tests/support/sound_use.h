// SPDX-License-Identifier: Apache-2.0
// What every test over the simulated computer checks at its end: the caller
// released everything it took and broke none of the platform's rules.
#pragma once

#include "sim/simulated_bluetooth.h"

#include <gtest/gtest.h>

// Every discovery handle closed, every stream closed, and no call the
// platform's contract forbids.
inline void ExpectSoundUse(const TSimulatedBluetooth &platform)
{
    const TSimulatedBluetooth::TCounts counts = platform.Counts();
    EXPECT_EQ(counts.OpenHandles, 0) << "a discovery handle was left open";
    EXPECT_EQ(counts.Connects, counts.StreamsClosed) << "a stream was left open";
    const std::vector<std::string> misuses = platform.Misuses();
    EXPECT_TRUE(misuses.empty()) << misuses.front();
}
