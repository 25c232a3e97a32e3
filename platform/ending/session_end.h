// SPDX-License-Identifier: Apache-2.0
// The end of the user's session (signing out, shutting down, a restart for
// updates) as a program hears it, and the reason it gives the system while it
// ends in order.
//
// Windows tells a program that has loaded user32.dll, as every Qt program has,
// only through its top-level windows (WM_QUERYENDSESSION, WM_ENDSESSION), and
// ends the process as soon as they have answered; its console control handler
// never hears of it. A run without windows therefore keeps a hidden one. On
// other systems a session's end is a signal, and both classes do nothing.
#pragma once

#include <functional>
#include <memory>

// The text the system shows beside the program while it holds the end up.
inline constexpr char SessionEndReason[] = "Saving the last reading";

// Holds the session's end up with SessionEndReason for as long as it lives;
// `window` is a top-level window (HWND) of the calling thread, which created it.
class TSessionEndHold {
public:
    explicit TSessionEndHold(void *window);
    ~TSessionEndHold();
    TSessionEndHold(const TSessionEndHold &) = delete;
    TSessionEndHold &operator=(const TSessionEndHold &) = delete;

private:
    void *FWindow = nullptr;  // null when the system did not take the reason
};

// A hidden top-level window on a thread of its own. When the session ends it
// calls `endRun` on that thread, with the end held up (TSessionEndHold), and
// answers the system only when endRun returns: endRun must stop the run and
// wait until it has ended in order, or has run out of time.
class TSessionEndWatch {
public:
    explicit TSessionEndWatch(std::function<void()> endRun);
    // The window goes and its thread ends; endRun must not be waiting then.
    ~TSessionEndWatch();
    TSessionEndWatch(const TSessionEndWatch &) = delete;
    TSessionEndWatch &operator=(const TSessionEndWatch &) = delete;

    // The window's handle (HWND), for the tests; null where there is none.
    void *Window() const;

private:
    struct TState;
    std::unique_ptr<TState> F;
};
