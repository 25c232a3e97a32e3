// SPDX-License-Identifier: Apache-2.0
// The synchronous hand-off from a worker thread to the interface thread.
//
// The worker calls Synchronize(step) and blocks until the interface thread has
// run the step; steps run one at a time, in the order issued. The interface
// thread runs pending steps with CheckSynchronize from every loop it is in: the
// waker tells it that a step is pending (the Qt side posts an event, so the main
// loop, modal dialogs and message boxes all run them).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class TSynchronizer {
public:
    using TStep = std::function<void()>;

    // The constructing thread is the interface thread.
    TSynchronizer();
    ~TSynchronizer();
    TSynchronizer(const TSynchronizer &) = delete;
    TSynchronizer &operator=(const TSynchronizer &) = delete;

    // Called from the issuing thread each time a step becomes pending. Replacing
    // or clearing it waits until no call of the old waker is under way, so an
    // object that installed itself can clear the waker in its destructor.
    void SetWaker(std::function<void()> waker);

    // Runs the step on the interface thread and waits until it has run; an
    // exception thrown by the step is thrown again here. Called on the interface
    // thread itself, the step runs at once.
    void Synchronize(const TStep &step);

    // Interface thread: runs every pending step; true when any ran. A call made
    // from inside a running step (a modal loop the step opened) runs nothing:
    // the outer call goes on with the queue once that step has returned.
    bool CheckSynchronize();

    // Interface thread: waits at most `timeout` until a step is pending; true
    // when one is. Wake() ends the wait early.
    bool WaitForPending(std::chrono::milliseconds timeout);

    // Any thread: ends the current or the next WaitForPending early, e.g. when a
    // thread that the interface thread waits for has ended.
    void Wake();

    bool IsInterfaceThread() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};
