// SPDX-License-Identifier: Apache-2.0
#include "platform/files/momentary_retry.h"

#include <algorithm>
#include <thread>

TRetryClock SystemRetryClock()
{
    return {[] { return std::chrono::steady_clock::now(); },
            [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }};
}

unsigned long RetryMomentaryFailure(const std::function<unsigned long()> &step,
                                    const std::function<bool(unsigned long)> &isMomentary,
                                    const TRetryClock &clock, std::chrono::milliseconds patience)
{
    using std::chrono::milliseconds;
    constexpr milliseconds longestPause{100};
    const auto deadline = clock.Now() + patience;
    milliseconds pause{10};
    for (;;) {
        const unsigned long result = step();
        if (result == 0 || !isMomentary(result))
            return result;
        const auto now = clock.Now();
        if (now >= deadline)
            return result;
        // Rounded up, so that the last pause reaches the deadline rather than
        // stopping a fraction of a millisecond short of it.
        const auto left = std::chrono::ceil<milliseconds>(deadline - now);
        clock.Sleep(std::min(pause, left));
        pause = std::min(pause * 2, longestPause);
    }
}
