// SPDX-License-Identifier: Apache-2.0
#include "platform/files/trace_file.h"

#include "platform/files/atomic_file.h"  // FileErrorText
#include "platform/text/date_time.h"

#include <cstdio>
#include <utility>

namespace {

// "HH:MM:SS.mmm"
std::string TimeOfDayText(const TDateTimeParts &time)
{
    char text[48];  // room for any int, so the compiler sees no cut
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", time.Hour, time.Minute, time.Second, time.Millisecond);
    return text;
}

} // namespace

TTraceFile::TTraceFile(const std::string &pathUtf8) : FPath(pathUtf8), FFile(pathUtf8) {}

void TTraceFile::SetFailureHandler(TFailureHandler handler)
{
    std::lock_guard lock(FLock);
    FOnFailure = std::move(handler);
}

void TTraceFile::Write(std::string_view text)
{
    if (FFailed.load())
        return;
    std::string line = TimeOfDayText(LocalNowParts());
    line += ' ';
    // One line per step, also for a system text that ends in or holds a line
    // break (Windows' messages end in CR LF).
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;  // CR LF is one break
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    line += '\n';

    std::string failure;
    TFailureHandler onFailure;
    {
        std::lock_guard lock(FLock);
        if (FFailed.load())
            return;  // another thread's line failed meanwhile
        failure = FFile.Append(line);
        if (failure.empty())
            return;
        FFailed.store(true);
        onFailure = FOnFailure;
    }
    // Outside the lock: the handler may take its time to hand the message on,
    // and a line of another thread must not wait for it.
    if (onFailure)
        onFailure(FileErrorText(TFileStep::Write, FPath, failure));
}
