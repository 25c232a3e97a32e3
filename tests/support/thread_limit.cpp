// SPDX-License-Identifier: Apache-2.0
#include "tests/support/thread_limit.h"

#ifdef _WIN32

std::optional<TChildOutcome> RunWithoutThreads(const std::function<int()> &, std::chrono::milliseconds,
                                               std::string &whyNot)
{
    whyNot = "Windows has no limit a test can set on the threads of a child process";
    return std::nullopt;
}

#else

#include "tests/support/wait_until.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::optional<TChildOutcome> RunWithoutThreads(const std::function<int()> &body, std::chrono::milliseconds deadline,
                                               std::string &whyNot)
{
    const pid_t child = fork();
    if (child == 0) {
        const rlimit none{0, 0};
        if (setrlimit(RLIMIT_NPROC, &none) != 0)
            _exit(120);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(121);
        _exit(body());
    }
    TChildOutcome outcome;
    if (child < 0)
        return outcome;
    int status = 0;
    if (!WaitUntil([&] { return waitpid(child, &status, WNOHANG) != 0; }, deadline)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return outcome;
    }
    outcome.Finished = WIFEXITED(status);
    outcome.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (outcome.Finished && outcome.ExitCode == ThreadMadeAfterAll) {
        whyNot = "this machine let the child start a thread beyond its limit";
        return std::nullopt;
    }
    return outcome;
}

#endif
