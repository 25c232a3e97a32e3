// SPDX-License-Identifier: Apache-2.0
// A thread object in the style the worker needs: created suspended, started
// explicitly, with a terminated flag that its body polls and a wait for its end.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class TThread {
public:
    // The thread exists only as an object until Start() runs its body.
    TThread();
    TThread(const TThread &) = delete;
    TThread &operator=(const TThread &) = delete;
    // Waits for a started thread's end (a thread that frees itself never gets here
    // from outside its own body).
    virtual ~TThread();

    // Runs Execute() on a new thread. A second call does nothing. When the
    // system cannot make the thread, throws std::system_error and leaves the
    // object not started, so that waiting for its end returns at once.
    void Start();

    // Sets the terminated flag; the body decides when to look at it.
    void Terminate();
    bool Terminated() const;

    // When on, the thread deletes its object once Execute() has returned; the
    // object must then have been created with new, and nobody may wait for it.
    void SetFreeOnTerminate(bool free);
    bool FreeOnTerminate() const;

    bool Started() const { return FStarted.load(); }
    // True once the body has ended (Execute() returned or threw).
    bool Finished() const;

    // Waits for the body's end. The timed variant returns true when it has ended.
    void WaitFor();
    bool WaitFor(std::chrono::milliseconds timeout);

    // Called on the thread itself right after the body has ended and Finished()
    // is true, so that a waiter blocked elsewhere can be woken. Set it before Start().
    void SetFinishedNotifier(std::function<void()> notifier);

    // The exception that left Execute(), if any; the thread ends quietly on one.
    std::exception_ptr FatalException() const;

protected:
    // End-of-thread notification: runs on the thread after Execute().
    virtual void DoTerminate() {}
    // Runs on the calling thread when Terminate() sets the flag.
    virtual void TerminatedSet() {}
    // The thread body.
    virtual void Execute() = 0;

private:
    void Run();

    std::thread FThread;
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFreeOnTerminate{false};
    mutable std::mutex FMutex;
    std::condition_variable FEnded;
    bool FFinished = false;              // guarded by FMutex
    std::exception_ptr FFatalException;  // guarded by FMutex
    std::function<void()> FFinishedNotifier;
};
