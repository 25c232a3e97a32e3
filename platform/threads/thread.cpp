// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/thread.h"

#include <utility>

TThread::TThread() = default;

TThread::~TThread()
{
    if (FThread.joinable()) {
        if (FThread.get_id() == std::this_thread::get_id())
            FThread.detach();  // freeing itself from its own body
        else
            FThread.join();
    }
}

void TThread::Start()
{
    if (FStarted.exchange(true))
        return;
    // Held until FThread is assigned: the body must not see it half-made (a
    // thread that frees itself reads it in the destructor).
    std::lock_guard lock(FMutex);
    try {
        FThread = std::thread([this] { Run(); });
    } catch (...) {
        // No thread: nothing will ever finish, so nobody may wait for one.
        FStarted.store(false);
        throw;
    }
}

void TThread::Run()
{
    { std::lock_guard lock(FMutex); }  // Start() has finished assigning FThread
    try {
        Execute();
    } catch (...) {
        // A body that throws ends its thread quietly; the error stays readable.
        std::lock_guard lock(FMutex);
        FFatalException = std::current_exception();
    }
    DoTerminate();
    // Copied before Finished() can let a waiter destroy the object.
    const std::function<void()> notifier = FFinishedNotifier;
    const bool freeSelf = FFreeOnTerminate.load();
    {
        std::lock_guard lock(FMutex);
        FFinished = true;
    }
    FEnded.notify_all();
    if (freeSelf) {
        if (notifier)
            notifier();
        delete this;
        return;
    }
    if (notifier)
        notifier();
}

void TThread::Terminate()
{
    FTerminated.store(true);
    TerminatedSet();
}

bool TThread::Terminated() const
{
    return FTerminated.load();
}

void TThread::SetFreeOnTerminate(bool free)
{
    FFreeOnTerminate.store(free);
}

bool TThread::FreeOnTerminate() const
{
    return FFreeOnTerminate.load();
}

bool TThread::Finished() const
{
    std::lock_guard lock(FMutex);
    return FFinished;
}

void TThread::WaitFor()
{
    if (!FStarted.load())
        return;
    {
        std::unique_lock lock(FMutex);
        FEnded.wait(lock, [this] { return FFinished; });
    }
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
}

bool TThread::WaitFor(std::chrono::milliseconds timeout)
{
    if (!FStarted.load())
        return false;
    std::unique_lock lock(FMutex);
    return FEnded.wait_for(lock, timeout, [this] { return FFinished; });
}

void TThread::SetFinishedNotifier(std::function<void()> notifier)
{
    FFinishedNotifier = std::move(notifier);
}

std::exception_ptr TThread::FatalException() const
{
    std::lock_guard lock(FMutex);
    return FFatalException;
}
