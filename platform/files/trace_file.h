// SPDX-License-Identifier: Apache-2.0
// The diagnostic trace (--trace FILE): one line per event, each beginning with
// the local time to the millisecond ("HH:MM:SS.mmm "), appended to the file and
// handed to the system as it happens, so a crash keeps everything written
// before it. The trace is the file's one owner.
//
// Whoever traces holds a pointer that is null when tracing is off and tests it
// before building any text: an untraced program pays one test per event.
#pragma once

#include "platform/files/append_handle.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

class TTraceFile {
public:
    // Opens the file for appending (UTF-8 path); a missing file is created,
    // an existing one keeps its earlier traces. Throws EFileError
    // (TFileStep::Create).
    explicit TTraceFile(const std::string &pathUtf8);
    TTraceFile(const TTraceFile &) = delete;
    TTraceFile &operator=(const TTraceFile &) = delete;

    // Who hears of a line that could not be written: called once, on the
    // thread that wrote it, with the operator's message ("Cannot write file
    // ..."). It must not block: the writer may be the acquisition worker. Set
    // it before the trace is shared between threads.
    using TFailureHandler = std::function<void(const std::string &message)>;
    void SetFailureHandler(TFailureHandler handler);

    // Appends one line: the local time, a space, the text, a line end. Any
    // thread. After a failed write the trace is off: nothing more is written.
    void Write(std::string_view text);

    bool Failed() const { return FFailed.load(); }
    const std::string &Path() const { return FPath; }

private:
    const std::string FPath;
    TFailureHandler FOnFailure;
    std::mutex FLock;  // one line at a time, whole
    TAppendHandle FFile;
    std::atomic<bool> FFailed{false};
};
