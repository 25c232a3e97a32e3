#include "platform/thread.h"
#include "tests/support/thread_limit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
    ~TLambdaThread() override { WaitFor(); }  // the body uses members of this class
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

TEST(Thread, BodyDoesNotRunBeforeStart)
{
    std::atomic<bool> ran{false};
    TLambdaThread thread([&](TLambdaThread &) { ran = true; });
    std::this_thread::sleep_for(30ms);
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
    TLambdaThread thread([](TLambdaThread &self) {
        while (!self.IsTerminated())
            std::this_thread::sleep_for(1ms);
    });
    thread.Start();
    EXPECT_FALSE(thread.WaitFor(30ms)) << "the body runs until the flag is set";
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
    std::atomic<bool> bodyDone{false};
    {
        TLambdaThread thread([&](TLambdaThread &) {
            std::this_thread::sleep_for(50ms);
            bodyDone = true;
        });
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
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!destroyed && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(notified);
}

TEST(Thread, AThreadTheSystemRefusesLeavesNothingToWaitFor)
{
    std::string whyNot;
    const auto outcome = RunWithoutThreads(
        [] {
            std::atomic<bool> ran{false};
            TLambdaThread thread([&](TLambdaThread &) { ran = true; });
            try {
                thread.Start();
                return 3;  // the system made the thread after all
            } catch (const std::system_error &) {
            }
            if (thread.Started() || thread.WaitFor(0ms) || ran)
                return 4;
            thread.WaitFor();  // and the destructor's wait: both return at once
            return 0;
        },
        10s, whyNot);
    if (!outcome)
        GTEST_SKIP() << whyNot;
    ASSERT_TRUE(outcome->Finished) << "the wait for a thread that never ran went on for ever";
    if (outcome->ExitCode == 3)
        GTEST_SKIP() << "this machine let the child start a thread beyond its limit";
    EXPECT_EQ(outcome->ExitCode, 0);
}
