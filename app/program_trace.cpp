// SPDX-License-Identifier: Apache-2.0
#include "app/program_trace.h"

#include "app/application.h"
#include "app/console_output.h"
#include "link/meter_identity.h"
#include "link/meter_name.h"
#include "platform/files/atomic_file.h"  // EFileError
#include "platform/text/date_time.h"

#include <cstdio>
#include <utility>

std::unique_ptr<TTraceFile> OpenProgramTrace(const TCommandLine &line)
{
    if (line.TracePath.empty())
        return nullptr;
    try {
        return std::make_unique<TTraceFile>(line.TracePath);
    } catch (const EFileError &error) {
        throw ECommandLineError(std::string("--trace: ") + error.what());
    }
}

void StartProgramTrace(TTraceFile &trace, TTraceFile::TFailureHandler onFailure, const TMeterBackend &backend,
                       const std::vector<std::string> &args)
{
    trace.SetFailureHandler(std::move(onFailure));
    const TDateTimeParts today = LocalNowParts();
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", today.Year, today.Month, today.Day);
    std::string arguments;
    for (const std::string &arg : args)
        arguments += " " + arg;
    trace.Write(ProgramTitle.toStdString() + " on " + date + ", looking for " + QuotedName(MeterDeviceNameView) +
                " through " + backend.Description + "; arguments:" + arguments);
}

TTraceFile::TFailureHandler TraceFailureTo(std::FILE *messages)
{
    return [messages](const std::string &message) {
        WriteOutput(messages, "meter-readout: --trace: " + message + "; going on without the trace\n",
                    TTextEncoding::Utf8);
    };
}
