// SPDX-License-Identifier: Apache-2.0
// The unattended run: the same worker and table as the window, without windows.
// Acquisition starts at once; each accepted row goes to standard output exactly
// as Save would write it, after it has gone to the session journal and, with
// --csv, to a file: on the disk before it is printed and before the next
// exchange begins. The run ends after --count readings, when a --sim-messages
// file is used up, or when it is asked to stop (app/headless_stop.h), always
// through the worker's orderly Shutdown; after a stop, within the times of
// app/stop_budget.h.
#pragma once

#include "app/command_line.h"
#include "app/meter_backend.h"

#include <cstdio>
#include <functional>

// Runs on the calling thread, which becomes the interface thread; returns the
// exit status. Rows go to `rows`, messages to `messages`. With --report-pdf,
// `prepareReport` is called once the run has ended, before the report is
// drawn: the report needs a QGuiApplication.
int RunHeadless(const TCommandLine &line, TMeterBackend &backend, std::FILE *rows, std::FILE *messages,
                const std::function<void()> &prepareReport);
