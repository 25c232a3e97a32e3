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
#include <thread>

class TSynchronizer {
public:
    using TStep = std::function<void()>;

    // The constructing thread is the interface thread.
    TSynchronizer();
    ~TSynchronizer();
    TSynchronizer(const TSynchronizer &) = delete;
    TSynchronizer &operator=(const TSynchronizer &) = delete;

    // Called from the issuing thread each time a step becomes pending.
    void SetWaker(std::function<void()> waker);

    // Runs the step on the interface thread and waits until it has run; an
    // exception thrown by the step is thrown again here. Called on the interface
    // thread itself, the step runs at once.
    void Synchronize(const TStep &step);

    // Interface thread: runs every pending step; true when any ran.
    bool CheckSynchronize();

    // Interface thread: waits at most `timeout` until a step is pending; true
    // when one is.
    bool WaitForPending(std::chrono::milliseconds timeout);

    bool IsInterfaceThread() const;

private:
    struct TState;
    TState *FState;
};
