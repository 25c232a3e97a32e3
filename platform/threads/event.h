// SPDX-License-Identifier: Apache-2.0
// An auto-reset event with a timed wait: SetEvent signals it, and the wait that
// sees the signal also resets it, so one SetEvent releases one wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

enum class TWaitResult { wrSignaled, wrTimeout };

class TEvent {
public:
    // Not signalled at creation.
    TEvent() = default;
    TEvent(const TEvent &) = delete;
    TEvent &operator=(const TEvent &) = delete;

    void SetEvent();
    void ResetEvent();
    // Waits at most `milliseconds` for the signal; 0 only looks.
    TWaitResult WaitFor(std::uint32_t milliseconds);

private:
    std::mutex FMutex;
    std::condition_variable FSignal;
    bool FSignaled = false;  // guarded by FMutex
};
