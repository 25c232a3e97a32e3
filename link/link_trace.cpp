// SPDX-License-Identifier: Apache-2.0
#include "link/link_trace.h"

#include <atomic>

namespace {

// Written before any link exists; atomic all the same, so that a link made on
// another thread can never see half a pointer.
std::atomic<TTraceFile *> InstalledTrace{nullptr};

} // namespace

TTraceFile *ProgramLinkTrace()
{
    return InstalledTrace.load();
}

TProgramLinkTrace::TProgramLinkTrace(TTraceFile *trace) : FPrevious(InstalledTrace.exchange(trace)) {}

TProgramLinkTrace::~TProgramLinkTrace()
{
    InstalledTrace.store(FPrevious);
}
