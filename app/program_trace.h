// SPDX-License-Identifier: Apache-2.0
// The program's --trace FILE: made at start, before anything runs, and told
// where to report a line it cannot write.
#pragma once

#include "app/command_line.h"
#include "app/meter_backend.h"
#include "platform/files/trace_file.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The trace the command line asks for, or null. A file that cannot be made
// throws ECommandLineError: the program does not start.
std::unique_ptr<TTraceFile> OpenProgramTrace(const TCommandLine &line);

// Sets where a failed line is reported, then writes the trace's first line:
// the program, the date, what it searches and its arguments (the lines after
// it carry the time of day only).
void StartProgramTrace(TTraceFile &trace, TTraceFile::TFailureHandler onFailure, const TMeterBackend &backend,
                       const std::vector<std::string> &args);

// For a run without windows: one line on `messages`, and the run goes on.
TTraceFile::TFailureHandler TraceFailureTo(std::FILE *messages);
