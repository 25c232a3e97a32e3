// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;

TEST(Event, StartsUnsignalledAndTimesOut)
{
    TEvent event;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(event.WaitFor(20), TWaitResult::wrTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 19ms) << "a timed wait lasts its timeout";
}

// Each row: what is done to a fresh event, and what two waits in a row see.
struct TEventCase {
    const char *name;
    int sets;
    bool resetAfter;
    TWaitResult first;
    TWaitResult second;
};

class EventSignal : public testing::TestWithParam<TEventCase> {};

TEST_P(EventSignal, OneWaitConsumesTheSignal)
{
    const TEventCase &c = GetParam();
    TEvent event;
    for (int i = 0; i < c.sets; ++i)
        event.SetEvent();
    if (c.resetAfter)
        event.ResetEvent();
    EXPECT_EQ(event.WaitFor(0), c.first);
    EXPECT_EQ(event.WaitFor(0), c.second);
}

INSTANTIATE_TEST_SUITE_P(Event, EventSignal,
    testing::Values(TEventCase{"NeverSet", 0, false, TWaitResult::wrTimeout, TWaitResult::wrTimeout},
                    TEventCase{"SetOnce", 1, false, TWaitResult::wrSignaled, TWaitResult::wrTimeout},
                    TEventCase{"SetTwiceStillOneSignal", 2, false, TWaitResult::wrSignaled, TWaitResult::wrTimeout},
                    TEventCase{"SetThenReset", 1, true, TWaitResult::wrTimeout, TWaitResult::wrTimeout}),
    [](const testing::TestParamInfo<TEventCase> &info) { return std::string(info.param.name); });

TEST(Event, SetFromAnotherThreadEndsAWaitEarly)
{
    TEvent event;
    std::promise<void> waiting;
    std::thread setter([&, waitBegins = waiting.get_future()] {
        waitBegins.wait();  // sets while the other thread waits, as a worker does
        event.SetEvent();
    });
    const auto begin = std::chrono::steady_clock::now();
    waiting.set_value();
    EXPECT_EQ(event.WaitFor(10000), TWaitResult::wrSignaled);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    setter.join();
    EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout) << "the wait that saw the signal reset it";
}
