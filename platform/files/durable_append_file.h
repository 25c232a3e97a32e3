// SPDX-License-Identifier: Apache-2.0
// A file that only grows, each piece on the disk before Append returns: the
// unattended log of readings, so a crash or a power cut loses nothing already
// written.
#pragma once

#include "platform/files/atomic_file.h"  // EFileError, EFileExists, FileErrorText

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TDurableAppendFile {
public:
    // Creates the file (UTF-8 path) with its first piece (a header line): the
    // name appears only once that piece is on the disk, so that no power cut
    // leaves the name on an empty file. An existing file is never overwritten:
    // a log of earlier readings is not ours to lose. Throws EFileExists when
    // the name is taken, EFileError for any other failure; nothing is left
    // behind then.
    TDurableAppendFile(const std::string &pathUtf8, std::string_view firstPiece);
    ~TDurableAppendFile();
    TDurableAppendFile(const TDurableAppendFile &) = delete;
    TDurableAppendFile &operator=(const TDurableAppendFile &) = delete;

    // Appends all bytes and flushes them to the disk, or throws EFileError. A
    // failed append takes back whatever part of the bytes reached the file, so
    // the file ends where the last whole append ended (a full disk never leaves
    // half a line behind).
    void Append(std::string_view bytes);

    // Closes the file and deletes it: for a file that turned out to be of no
    // use (a name another option also writes). Nothing is thrown.
    void Remove() noexcept;

    const std::string &Path() const;
    // The bytes of the first piece and of every whole append since.
    std::uint64_t Size() const;

private:
    struct TState;
    std::unique_ptr<TState> F;
};
