// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/thread.h"
#include "tests/support/thread_limit.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A thread whose body is a lambda; counts the end-of-thread notifications.
class TLambdaThread : public TThread {
public:
    explicit TLambdaThread(std::function<void(TLambdaThread &)> body) : FBody(std::move(body)) {}
    ~TLambdaThread() override
    {
        if (BeforeDestruction)
            BeforeDestruction();
        WaitFor();  // the body uses members of this class
    }
    // Runs when the object's destruction begins, before it waits for the body.
    std::function<void()> BeforeDestruction;
    std::atomic<int> EndNotifications{0};
    std::atomic<bool> FinishedSeenAtEnd{true};
    bool IsTerminated() const { return Terminated(); }

protected:
    void Execute() override { FBody(*this); }
    void DoTerminate() override
    {
        FinishedSeenAtEnd = Finished();
        ++EndNotifications;
    }

private:
    std::function<void(TLambdaThread &)> FBody;
};

}  // namespace

// That making the object starts no thread at all is proven where no thread can
// be made (AThreadTheSystemRefusesLeavesNothingToWaitFor).
TEST(Thread, BodyDoesNotRunBeforeStart)
{
    std::atomic<bool> ran{false};
    TLambdaThread thread([&](TLambdaThread &) { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_FALSE(thread.Finished());
    EXPECT_FALSE(thread.WaitFor(0ms)) << "a thread that never started has not ended";
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(thread.EndNotifications, 1);
    EXPECT_FALSE(thread.FinishedSeenAtEnd) << "the end notification runs before the thread counts as finished";
}

TEST(Thread, TerminateEndsABodyThatPollsTheFlag)
{
    std::atomic<int> pollsUnset{0};
    TLambdaThread thread([&](TLambdaThread &self) {
        while (!self.IsTerminated()) {
            ++pollsUnset;
            std::this_thread::yield();
        }
    });
    thread.Start();
    // The body has looked at the flag several times and carried on.
    ASSERT_TRUE(WaitUntil([&] { return pollsUnset >= 3; })) << "the flag was set before Terminate()";
    EXPECT_FALSE(thread.WaitFor(0ms)) << "the body runs until the flag is set";
    thread.Terminate();
    EXPECT_TRUE(thread.IsTerminated());
    EXPECT_TRUE(thread.WaitFor(5000ms));
}

TEST(Thread, ExceptionLeavingTheBodyEndsTheThreadQuietlyAndIsKept)
{
    TLambdaThread thread([](TLambdaThread &) { throw std::runtime_error("body failed"); });
    thread.Start();
    thread.WaitFor();
    ASSERT_TRUE(thread.FatalException());
    EXPECT_THROW(std::rethrow_exception(thread.FatalException()), std::runtime_error);
    EXPECT_EQ(thread.EndNotifications, 1);
}

TEST(Thread, FinishedNotifierRunsOnceTheThreadCountsAsFinished)
{
    std::atomic<bool> finishedWhenNotified{false};
    std::atomic<int> notified{0};
    TLambdaThread thread([](TLambdaThread &) {});
    thread.SetFinishedNotifier([&] {
        finishedWhenNotified = thread.Finished();
        ++notified;
    });
    thread.Start();
    thread.WaitFor();
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(finishedWhenNotified);
}

TEST(Thread, DestroyingAStartedThreadWaitsForItsBody)
{
    // The body can end only once its object is being destroyed.
    std::promise<void> destroying;
    std::future<void> destructionBegun = destroying.get_future();
    std::atomic<bool> bodyDone{false};
    {
        TLambdaThread thread([&](TLambdaThread &) {
            destructionBegun.wait();
            bodyDone = true;
        });
        thread.BeforeDestruction = [&] { destroying.set_value(); };
        thread.Start();
    }
    EXPECT_TRUE(bodyDone);
}

namespace {

class TSelfFreeingThread : public TThread {
public:
    explicit TSelfFreeingThread(std::atomic<bool> &destroyed) : FDestroyed(destroyed) { SetFreeOnTerminate(true); }
    ~TSelfFreeingThread() override { FDestroyed = true; }

protected:
    void Execute() override {}

private:
    std::atomic<bool> &FDestroyed;
};

}  // namespace

TEST(Thread, FreeOnTerminateDeletesTheObjectWhenTheBodyEnds)
{
    std::atomic<bool> destroyed{false};
    std::atomic<bool> notified{false};
    auto *thread = new TSelfFreeingThread(destroyed);
    thread->SetFinishedNotifier([&] { notified = true; });
    thread->Start();
    ASSERT_TRUE(WaitUntil([&] { return destroyed.load(); })) << "the object outlived its body";
    EXPECT_TRUE(notified);
}

TEST(Thread, AThreadTheSystemRefusesLeavesNothingToWaitFor)
{
    std::string whyNot;
    const auto outcome = RunWithoutThreads(
        [] {
            std::atomic<bool> ran{false};
            std::optional<TLambdaThread> thread;
            try {
                thread.emplace([&](TLambdaThread &) { ran = true; });
            } catch (const std::system_error &) {
                return 5;  // making the object tried to start its thread
            }
            try {
                thread->Start();
                return ThreadMadeAfterAll;
            } catch (const std::system_error &) {
            }
            if (thread->Started() || thread->WaitFor(0ms) || ran)
                return 4;
            thread->WaitFor();  // and the destructor's wait: both return at once
            return 0;
        },
        10s, whyNot);
    if (!outcome)
        GTEST_SKIP() << whyNot;
    ASSERT_TRUE(outcome->Finished) << "the wait for a thread that never ran went on for ever";
    EXPECT_EQ(outcome->ExitCode, 0) << "4: the refused thread looked started, 5: the object started one when made";
}
