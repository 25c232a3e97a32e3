// SPDX-License-Identifier: Apache-2.0
// A child process that may start no thread: the real fault of a thread that
// cannot be created (the system's limit on processes reached).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

struct TChildOutcome {
    bool Finished = false;  // false: still running at the deadline, then killed
    int ExitCode = -1;
};

// What a body returns when the system made its thread after all: some machines
// let a child go beyond its limit, and then the test can tell nothing.
inline constexpr int ThreadMadeAfterAll = 3;

// Forks, takes away the child's right to start threads, runs `body` in it and
// ends the child with the body's result as its exit code. Returns nothing, with
// `whyNot` filled, where this cannot be done (Windows) or the body returned
// ThreadMadeAfterAll: the test is then to be skipped. POSIX: a root parent's
// child gives up root first, as root is above the limit.
std::optional<TChildOutcome> RunWithoutThreads(const std::function<int()> &body, std::chrono::milliseconds deadline,
                                               std::string &whyNot);
