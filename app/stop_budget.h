// SPDX-License-Identifier: Apache-2.0
// How long the program takes to end when it is asked to. Windows ends a
// program about five seconds after the console's close, a sign-out or a
// shutdown, and as soon as the program answers: everything the program does
// on the way out keeps to these times, counted from the stop.
#pragma once

#include <chrono>

// From the stop to the worker's end: a search or a connection that takes
// longer is cut short (the process ends without waiting for it).
inline constexpr std::chrono::milliseconds WorkerEndBudget{2500};
// From a stop that the system enforces to the start of the report's write:
// a report not drawn by then is not written at all.
inline constexpr std::chrono::milliseconds ReportWriteBudget{3800};
// How long an answer to the system waits for the run's end.
inline constexpr std::chrono::milliseconds StopPatience{4500};
