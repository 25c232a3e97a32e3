// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/event.h"

#include <chrono>

void TEvent::SetEvent()
{
    {
        std::lock_guard lock(FMutex);
        FSignaled = true;
    }
    FSignal.notify_one();
}

void TEvent::ResetEvent()
{
    std::lock_guard lock(FMutex);
    FSignaled = false;
}

TWaitResult TEvent::WaitFor(std::uint32_t milliseconds)
{
    std::unique_lock lock(FMutex);
    if (!FSignal.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return FSignaled; }))
        return TWaitResult::wrTimeout;
    FSignaled = false;
    return TWaitResult::wrSignaled;
}
