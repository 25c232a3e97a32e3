// SPDX-License-Identifier: Apache-2.0
// A step on a file that fails only for a moment: an indexer, a virus scanner
// or a sync client opens a file it has just seen change and holds it for some
// milliseconds, exactly when the program renames the file. Such a failure is
// tried again for about a second before the operator hears of it; a person
// closing a spreadsheet takes longer, and waiting for that is not ours to do.
#pragma once

#include <chrono>
#include <functional>

// Time as the retry sees it, so that a test can run it on a clock of its own.
struct TRetryClock {
    std::function<std::chrono::steady_clock::time_point()> Now;
    std::function<void(std::chrono::milliseconds)> Sleep;
};

// The steady clock and a real sleep.
TRetryClock SystemRetryClock();

inline constexpr std::chrono::milliseconds MomentaryHoldPatience{1000};

// Runs step until it returns 0 (success), returns an error that isMomentary
// does not accept, or patience has passed since the first try, and returns its
// last result. The pauses start short, as most holds end within milliseconds,
// and grow to a tenth of a second; the last try falls on the deadline.
unsigned long RetryMomentaryFailure(const std::function<unsigned long()> &step,
                                    const std::function<bool(unsigned long)> &isMomentary,
                                    const TRetryClock &clock = SystemRetryClock(),
                                    std::chrono::milliseconds patience = MomentaryHoldPatience);
