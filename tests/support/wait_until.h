// SPDX-License-Identifier: Apache-2.0
// Waiting in a test for something that another thread or process does. A test
// never pauses for a fixed time: it waits for a condition it can observe, and
// gives up at a deadline so that a fault fails the test instead of hanging it.
#pragma once

#include <chrono>
#include <thread>

// Looks at `done` until it holds or `timeout` has passed; true when it holds.
// For conditions nobody signals (a counter of another thread, a process, a bus
// name): the one place where a test polls, in short steps.
template <typename Done>
bool WaitUntil(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
