// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/synchronize.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

namespace {

// One issued step; lives on the issuing thread's stack while it waits.
struct TRequest {
    const TSynchronizer::TStep *Step = nullptr;
    bool Done = false;  // guarded by TState::Mutex
    std::exception_ptr Error;
};

}  // namespace

struct TSynchronizer::TState {
    std::thread::id InterfaceThread = std::this_thread::get_id();

    std::mutex Mutex;
    std::condition_variable Changed;  // a step was queued, ran, or Wake() was called
    std::deque<TRequest *> Pending;   // guarded by Mutex
    bool Woken = false;               // guarded by Mutex
    bool Running = false;             // a step is running; interface thread only

    std::mutex WakerMutex;  // held while the waker runs or is replaced
    std::function<void()> Waker;
};

TSynchronizer::TSynchronizer() : FState(std::make_unique<TState>()) {}

TSynchronizer::~TSynchronizer() = default;

void TSynchronizer::SetWaker(std::function<void()> waker)
{
    std::lock_guard lock(FState->WakerMutex);
    FState->Waker = std::move(waker);
}

bool TSynchronizer::IsInterfaceThread() const
{
    return std::this_thread::get_id() == FState->InterfaceThread;
}

void TSynchronizer::Synchronize(const TStep &step)
{
    if (IsInterfaceThread()) {
        step();
        return;
    }
    TRequest request;
    request.Step = &step;
    {
        std::lock_guard lock(FState->Mutex);
        FState->Pending.push_back(&request);
    }
    FState->Changed.notify_all();
    {
        std::lock_guard lock(FState->WakerMutex);
        if (FState->Waker)
            FState->Waker();
    }
    {
        std::unique_lock lock(FState->Mutex);
        FState->Changed.wait(lock, [&request] { return request.Done; });
    }
    if (request.Error)
        std::rethrow_exception(request.Error);
}

bool TSynchronizer::CheckSynchronize()
{
    if (!IsInterfaceThread() || FState->Running)
        return false;
    bool ranAny = false;
    for (;;) {
        TRequest *request = nullptr;
        {
            std::lock_guard lock(FState->Mutex);
            if (FState->Pending.empty())
                break;
            request = FState->Pending.front();
            FState->Pending.pop_front();
        }
        FState->Running = true;
        std::exception_ptr error;
        try {
            (*request->Step)();
        } catch (...) {
            // Carried back to the issuing thread, which throws it again.
            error = std::current_exception();
        }
        FState->Running = false;
        {
            std::lock_guard lock(FState->Mutex);
            request->Error = std::move(error);
            request->Done = true;
        }
        // After this the request's owner may return and free it: touch it no more.
        FState->Changed.notify_all();
        ranAny = true;
    }
    return ranAny;
}

bool TSynchronizer::WaitForPending(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(FState->Mutex);
    FState->Changed.wait_for(lock, timeout, [this] { return !FState->Pending.empty() || FState->Woken; });
    FState->Woken = false;
    return !FState->Pending.empty();
}

void TSynchronizer::Wake()
{
    {
        std::lock_guard lock(FState->Mutex);
        FState->Woken = true;
    }
    FState->Changed.notify_all();
}
