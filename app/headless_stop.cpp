// SPDX-License-Identifier: Apache-2.0
#include "app/headless_stop.h"

#include <atomic>
#include <csignal>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using TClock = std::chrono::steady_clock;

// Set from signal handlers and the system's threads: lock-free atomics only.
std::atomic<bool> StopRequested{false};
std::atomic<TClock::rep> StopTime{0};
std::atomic<bool> StopEnforced{false};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<TClock::rep>::is_always_lock_free);

void RequestStop(bool enforced)
{
    if (enforced)
        StopEnforced = true;
    // The time before the flag, so that whoever sees the flag sees its time.
    // Two stops at once may both write it, a moment apart.
    if (!StopRequested) {
        StopTime = TClock::now().time_since_epoch().count();  // clock_gettime: safe in a handler
        StopRequested = true;
    }
}

extern "C" void OnStopSignal(int)
{
    RequestStop(false);
}

#if defined(_WIN32)
// Set once the run has ended, for the answers that wait for it. One for the
// process, reset by each run.
const HANDLE RunEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);

void WaitForRunEnd()
{
    WaitForSingleObject(RunEnded, static_cast<DWORD>(StopPatience.count()));
}

// Windows ends the process as soon as the handler returns from a close,
// sign-out or shutdown, so for those it waits for the run's end.
BOOL WINAPI OnConsoleControl(DWORD event)
{
    const bool enforced = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    RequestStop(enforced);
    if (enforced)
        WaitForRunEnd();
    return TRUE;
}

void EndRunForSession()
{
    RequestStop(true);
    WaitForRunEnd();
}
#else
void EndRunForSession() {}
#endif

// The handlers before the run's, for each signal it catches.
struct TOldHandlers {
    void (*Interrupt)(int) = SIG_DFL;
    void (*Terminate)(int) = SIG_DFL;
} OldHandlers;

} // namespace

THeadlessStop::THeadlessStop() : FSessionEnd(EndRunForSession)
{
    StopRequested = false;
    StopEnforced = false;
    OldHandlers.Interrupt = std::signal(SIGINT, OnStopSignal);
    OldHandlers.Terminate = std::signal(SIGTERM, OnStopSignal);
#if defined(_WIN32)
    ResetEvent(RunEnded);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#endif
}

THeadlessStop::~THeadlessStop()
{
#if defined(_WIN32)
    // First, so that the session's watch is not waiting when it goes.
    SetEvent(RunEnded);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#endif
    std::signal(SIGINT, OldHandlers.Interrupt);
    std::signal(SIGTERM, OldHandlers.Terminate);
}

std::optional<std::chrono::steady_clock::time_point> THeadlessStop::RequestedAt() const
{
    if (!StopRequested)
        return std::nullopt;
    return TClock::time_point(TClock::duration(StopTime.load()));
}

bool THeadlessStop::Enforced() const
{
    return StopEnforced;
}
