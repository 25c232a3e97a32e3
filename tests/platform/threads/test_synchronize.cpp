// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/synchronize.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Runs pending steps on the calling (interface) thread until `done` holds.
template <typename Done>
void ServeUntil(TSynchronizer &sync, Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        if (sync.WaitForPending(5ms))
            sync.CheckSynchronize();
    }
}

}  // namespace

TEST(Synchronize, OnTheInterfaceThreadTheStepRunsAtOnce)
{
    TSynchronizer sync;
    int waked = 0;
    sync.SetWaker([&] { ++waked; });
    bool ran = false;
    sync.Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(waked, 0) << "nothing was queued";
    EXPECT_FALSE(sync.CheckSynchronize());
}

TEST(Synchronize, WorkerWaitsUntilTheInterfaceThreadHasRunTheStep)
{
    TSynchronizer sync;
    std::atomic<bool> stepRan{false}, workerResumed{false}, workerResumedBeforeStep{true};
    std::thread::id ranOn;
    std::thread worker([&] {
        sync.Synchronize([&] {
            ranOn = std::this_thread::get_id();
            workerResumedBeforeStep = workerResumed.load();
            stepRan = true;
        });
        workerResumed = true;
    });
    ASSERT_TRUE(sync.WaitForPending(5000ms));
    EXPECT_FALSE(stepRan) << "only CheckSynchronize runs a step";
    EXPECT_TRUE(sync.CheckSynchronize());
    worker.join();
    EXPECT_FALSE(workerResumedBeforeStep) << "the worker went on while its step was pending";
    EXPECT_TRUE(workerResumed);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(Synchronize, StepsFromSeveralWorkersRunOneAtATimeInTheOrderEachIssuedThem)
{
    TSynchronizer sync;
    constexpr int Workers = 3, StepsEach = 50;
    std::map<int, std::vector<int>> seen;  // touched by steps only, on this thread
    int running = 0, maxRunning = 0;
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < Workers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < StepsEach; ++i)
                sync.Synchronize([&, w, i] {
                    maxRunning = std::max(maxRunning, ++running);
                    seen[w].push_back(i);
                    --running;
                });
            ++finished;
        });
    }
    ServeUntil(sync, [&] { return finished == Workers; });
    for (auto &t : workers)
        t.join();
    EXPECT_EQ(maxRunning, 1);
    for (int w = 0; w < Workers; ++w) {
        ASSERT_EQ(seen[w].size(), static_cast<std::size_t>(StepsEach));
        for (int i = 0; i < StepsEach; ++i)
            EXPECT_EQ(seen[w][i], i) << "worker " << w;
    }
}

TEST(Synchronize, ExceptionFromTheStepIsThrownAgainInTheWorkerAndTheQueueGoesOn)
{
    TSynchronizer sync;
    std::atomic<bool> caught{false}, secondRan{false}, done{false};
    std::string message;
    std::thread worker([&] {
        try {
            sync.Synchronize([] { throw std::runtime_error("step failed"); });
        } catch (const std::runtime_error &e) {
            message = e.what();
            caught = true;
        }
        sync.Synchronize([&] { secondRan = true; });
        done = true;
    });
    ServeUntil(sync, [&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(caught);
    EXPECT_EQ(message, "step failed");
    EXPECT_TRUE(secondRan);
}

TEST(Synchronize, WakerIsCalledFromTheIssuingThreadForEachPendingStep)
{
    TSynchronizer sync;
    std::mutex mutex;
    std::vector<std::thread::id> wakes;
    sync.SetWaker([&] {
        std::lock_guard lock(mutex);
        wakes.push_back(std::this_thread::get_id());
    });
    std::atomic<bool> done{false};
    std::thread::id workerId;
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        sync.Synchronize([] {});
        sync.Synchronize([] {});
        done = true;
    });
    ServeUntil(sync, [&] { return done.load(); });
    worker.join();
    ASSERT_EQ(wakes.size(), 2u);
    EXPECT_EQ(wakes[0], workerId);
    EXPECT_EQ(wakes[1], workerId);
}

TEST(Synchronize, WakeEndsTheWaitEarlyEvenWhenItCameFirst)
{
    TSynchronizer sync;
    sync.Wake();
    auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(sync.WaitForPending(5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s) << "a wake before the wait is not lost";

    std::promise<void> waiting;
    std::thread waker([&, waitBegins = waiting.get_future()] {
        waitBegins.wait();  // wakes the wait under way, as a thread that ends does
        sync.Wake();
    });
    begin = std::chrono::steady_clock::now();
    waiting.set_value();
    EXPECT_FALSE(sync.WaitForPending(5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    waker.join();
}

TEST(Synchronize, CheckFromInsideARunningStepRunsNothingAndTheOuterCallRunsTheRest)
{
    TSynchronizer sync;
    std::atomic<bool> done{false};
    std::vector<int> order;
    bool nestedRanSomething = true;
    std::thread first([&] {
        sync.Synchronize([&] {
            // Like a modal loop inside a step: the second step is pending by now.
            while (!sync.WaitForPending(1ms)) {
            }
            nestedRanSomething = sync.CheckSynchronize();
            order.push_back(1);
        });
    });
    ASSERT_TRUE(sync.WaitForPending(5000ms));
    std::thread second([&] {
        sync.Synchronize([&] { order.push_back(2); });
        done = true;
    });
    sync.CheckSynchronize();
    first.join();
    ServeUntil(sync, [&] { return done.load(); });
    second.join();
    EXPECT_FALSE(nestedRanSomething);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(Synchronize, CheckFromAnotherThreadRunsNothing)
{
    TSynchronizer sync;
    std::atomic<bool> stepRan{false};
    std::thread worker([&] { sync.Synchronize([&] { stepRan = true; }); });
    ASSERT_TRUE(sync.WaitForPending(5000ms));
    bool ranElsewhere = true;
    std::thread other([&] { ranElsewhere = sync.CheckSynchronize(); });
    other.join();
    EXPECT_FALSE(ranElsewhere);
    EXPECT_FALSE(stepRan);
    sync.CheckSynchronize();
    worker.join();
    EXPECT_TRUE(stepRan);
}
