// SPDX-License-Identifier: Apache-2.0
// A recursive lock: the thread that holds it may enter it again; it is free
// once every Enter has been matched by a Leave.
#pragma once

#include <mutex>

class TRecursiveLock {
public:
    TRecursiveLock() = default;
    TRecursiveLock(const TRecursiveLock &) = delete;
    TRecursiveLock &operator=(const TRecursiveLock &) = delete;

    void Enter() { FMutex.lock(); }
    void Leave() { FMutex.unlock(); }
    bool TryEnter() { return FMutex.try_lock(); }

private:
    std::recursive_mutex FMutex;
};

// Holds the lock for one scope, so every path that enters it leaves it.
class TRecursiveLockGuard {
public:
    explicit TRecursiveLockGuard(TRecursiveLock &lock) : FLock(lock) { FLock.Enter(); }
    ~TRecursiveLockGuard() { FLock.Leave(); }
    TRecursiveLockGuard(const TRecursiveLockGuard &) = delete;
    TRecursiveLockGuard &operator=(const TRecursiveLockGuard &) = delete;

private:
    TRecursiveLock &FLock;
};
