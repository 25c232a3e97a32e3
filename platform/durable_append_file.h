// A file that only grows, each piece on the disk before Append returns: the
// unattended log of readings, so a crash or a power cut loses nothing already
// written.
#pragma once

#include "platform/atomic_file.h"  // EFileError, FileErrorText

#include <memory>
#include <string>
#include <string_view>

class TDurableAppendFile {
public:
    // Creates the file (UTF-8 path). An existing file is never overwritten: a
    // log of earlier readings is not ours to lose. Throws EFileError.
    explicit TDurableAppendFile(const std::string &pathUtf8);
    ~TDurableAppendFile();
    TDurableAppendFile(const TDurableAppendFile &) = delete;
    TDurableAppendFile &operator=(const TDurableAppendFile &) = delete;

    // Appends all bytes and flushes them to the disk, or throws EFileError.
    void Append(std::string_view bytes);

    const std::string &Path() const;

private:
    struct TState;
    std::unique_ptr<TState> F;
};
