// SPDX-License-Identifier: Apache-2.0
#include "tests/support/worker_test_host.h"

#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

// ---- TTestInterfaceThread ----

TTestInterfaceThread::TTestInterfaceThread()
{
    FThread = std::thread([this] { Loop(); });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FReady; });
}

TTestInterfaceThread::~TTestInterfaceThread()
{
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FChanged.notify_all();
    FSynchronizer->Wake();
    FThread.join();
}

void TTestInterfaceThread::Loop()
{
    {
        std::lock_guard lock(FMutex);
        FSynchronizer = std::make_unique<TSynchronizer>();
        FReady = true;
    }
    FChanged.notify_all();
    // Run() and the destructor wake both waits; the time limit is a guard
    // against a wake-up missed between a look and a wait.
    constexpr std::chrono::milliseconds Guard{5};
    while (!FStopping) {
        if (FServing) {
            if (FSynchronizer->WaitForPending(Guard))
                FSynchronizer->CheckSynchronize();
        } else {
            // A hand-off pending is no reason to wake: only the test's calls are.
            std::unique_lock lock(FMutex);
            FChanged.wait_for(lock, Guard, [this] { return !FCalls.empty() || FStopping; });
        }
        RunCalls();
    }
}

void TTestInterfaceThread::RunCalls()
{
    for (;;) {
        std::function<void()> *call = nullptr;
        {
            std::lock_guard lock(FMutex);
            if (FCalls.empty())
                return;
            call = FCalls.front();
            FCalls.pop_front();
        }
        (*call)();
        {
            std::lock_guard lock(FMutex);
            *call = nullptr;  // marks it done for Run()
        }
        FChanged.notify_all();
    }
}

void TTestInterfaceThread::Run(std::function<void()> call, std::chrono::milliseconds limit, std::source_location where)
{
    std::exception_ptr error;
    std::function<void()> wrapped = [&] {
        try {
            call();
        } catch (...) {
            error = std::current_exception();  // thrown again on the test's thread
        }
    };
    {
        std::lock_guard lock(FMutex);
        FCalls.push_back(&wrapped);
    }
    FChanged.notify_all();
    FSynchronizer->Wake();
    {
        std::unique_lock lock(FMutex);
        if (!FChanged.wait_for(lock, limit, [&] { return !wrapped; })) {
            std::string test;
            if (const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info())
                test = std::string(info->test_suite_name()) + "." + info->name() + ": ";
            std::fprintf(stderr,
                         "%s:%u: Failure\n%sthe call made here on the interface thread has not returned after %lld "
                         "ms; ending the test program\n",
                         where.file_name(), static_cast<unsigned>(where.line()), test.c_str(),
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::abort();
        }
    }
    if (error)
        std::rethrow_exception(error);
}

void TTestInterfaceThread::SetServing(bool serving)
{
    // Set on the loop's own thread: once this returns, no CheckSynchronize that
    // began before is still draining the queue.
    Run([this, serving] { FServing = serving; });
}

bool TTestInterfaceThread::WaitForHandOff(std::chrono::milliseconds timeout)
{
    // Only the interface thread may look at the queue.
    return WaitUntil(
        [this] {
            bool pending = false;
            Run([&] { pending = FSynchronizer->WaitForPending(std::chrono::milliseconds(0)); });
            return pending;
        },
        timeout);
}

// ---- TWorkerTestHost ----

void TWorkerTestHost::Record(THostCall::TKind kind, std::int64_t value, const TReading &reading)
{
    THostCall call;
    call.Kind = kind;
    call.Value = value;
    call.Reading = reading;
    call.Time = TTestClock::now();
    call.OnInterfaceThread = FUi.IsInterfaceThread();
    {
        std::lock_guard lock(FMutex);
        FCalls.push_back(call);
    }
    FChanged.notify_all();
}

void TWorkerTestHost::ShowIndicator(TColor color)
{
    Record(THostCall::TKind::Indicator, color);
}

void TWorkerTestHost::ShowRunState(TRunState state)
{
    Record(THostCall::TKind::RunState, static_cast<std::int64_t>(state));
}

void TWorkerTestHost::ShowNoRadioError()
{
    Record(THostCall::TKind::NoRadioError);
    if (OnNoRadioError)
        OnNoRadioError();
}

void TWorkerTestHost::ShowStopOverlay()
{
    Record(THostCall::TKind::StopOverlay);
}

void TWorkerTestHost::AddReading(const TReading &reading)
{
    Record(THostCall::TKind::Reading, 0, reading);
}

std::vector<THostCall> TWorkerTestHost::Calls() const
{
    std::lock_guard lock(FMutex);
    return FCalls;
}

std::vector<THostCall> TWorkerTestHost::CallsOf(THostCall::TKind kind) const
{
    std::vector<THostCall> found;
    for (const THostCall &call : Calls())
        if (call.Kind == kind)
            found.push_back(call);
    return found;
}

std::size_t TWorkerTestHost::CountOf(THostCall::TKind kind) const
{
    return CallsOf(kind).size();
}

std::vector<TColor> TWorkerTestHost::Colors() const
{
    std::vector<TColor> colors;
    for (const THostCall &call : CallsOf(THostCall::TKind::Indicator))
        colors.push_back(static_cast<TColor>(call.Value));
    return colors;
}

bool TWorkerTestHost::WaitUntil(const std::function<bool(const std::vector<THostCall> &)> &done,
                                std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, timeout, [&] { return done(FCalls); });
}

bool TWorkerTestHost::WaitForCount(THostCall::TKind kind, std::size_t count, std::chrono::milliseconds timeout) const
{
    return WaitUntil(
        [&](const std::vector<THostCall> &calls) {
            std::size_t n = 0;
            for (const THostCall &call : calls)
                n += call.Kind == kind ? 1 : 0;
            return n >= count;
        },
        timeout);
}
