// SPDX-License-Identifier: Apache-2.0
// The operating system's half of TAtomicFile. atomic_file.cpp keeps the order
// of the steps and what a failure undoes, which is the same on every system;
// it asks one of these for each system call (atomic_file_posix.cpp,
// atomic_file_win32.cpp). Each unsigned long is the system's error number
// (errno, GetLastError()), 0 when the step succeeded.
#pragma once

#include "platform/files/atomic_file.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The temporary file of one target. Destroying it closes the temporary file
// and deletes it unless it has taken the target's name.
class TAtomicFileSystem {
public:
    virtual ~TAtomicFileSystem() = default;

    // What creating a new file under a name that exists fails with.
    static const unsigned long NewNameTaken;
    // Whether an error says that something has the name already (EFileExists).
    static bool MeansNameTaken(unsigned long error);
    // The system's own words for an error.
    static std::string Describe(unsigned long error);

    // Whether the target may be replaced, as TAtomicFile::Open says.
    virtual unsigned long CheckTarget(TReplace replace) = 0;
    // Creates the temporary file under a fresh name beside the target, ready
    // for writing; a failure leaves nothing behind.
    virtual unsigned long CreateTemporary() = 0;
    virtual bool IsOpen() const = 0;
    // Writes some of bytes, at least one, and says how many.
    virtual unsigned long Write(std::string_view bytes, std::size_t &written) = 0;
    // Puts what was written on the disk.
    virtual unsigned long Flush() = 0;
    // Closes the temporary file; it is closed also when this fails.
    virtual unsigned long Close() = 0;
    // Gives the closed temporary file the target's name; it is then no longer
    // a temporary file.
    virtual unsigned long MoveIntoPlace(TReplace replace) = 0;
    // Closes the temporary file if it is open and deletes it if it exists.
    virtual void Remove() noexcept = 0;
    // The temporary file's path (UTF-8) while there is one, else empty.
    virtual std::string TemporaryPath() const = 0;
};

// For the target (UTF-8 path); nothing is asked of the system yet.
std::unique_ptr<TAtomicFileSystem> NewAtomicFileSystem(const std::string &targetUtf8);
