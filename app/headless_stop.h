// SPDX-License-Identifier: Apache-2.0
// How a run without windows is asked to end, and by when it must have ended.
//
// SIGINT and SIGTERM ask everywhere. On Windows so do Ctrl+C, Ctrl+Break, the
// console's close, sign-out and shutdown (the last two through a hidden
// window, see platform/ending/session_end.h). Windows ends the process about
// five seconds after a close, a sign-out or a shutdown, and as soon as the
// program answers it: the answer waits until the run has ended, at most
// StopPatience. The run keeps to the budgets of app/stop_budget.h.
#pragma once

#include "app/stop_budget.h"
#include "platform/ending/session_end.h"

#include <chrono>
#include <optional>

// One run's stop handlers, installed for its life; the old ones come back after.
// One at a time.
class THeadlessStop {
public:
    THeadlessStop();
    // The run has ended: an answer to the system that waits for it goes.
    ~THeadlessStop();
    THeadlessStop(const THeadlessStop &) = delete;
    THeadlessStop &operator=(const THeadlessStop &) = delete;

    // When the first stop came, if one has.
    std::optional<std::chrono::steady_clock::time_point> RequestedAt() const;
    // Whether the system ends the process soon after the stop (a close, a
    // sign-out, a shutdown), so that the run's report must keep to its budget.
    bool Enforced() const;

private:
    TSessionEndWatch FSessionEnd;
};
