// SPDX-License-Identifier: Apache-2.0
// The program's trace of what the link does (--trace FILE), for the person who
// has to find out why no reading comes. Discovery, link, exchange and the
// worker's outcome of each message write to it; see platform/files/trace_file.h.
#pragma once

class TTraceFile;

// The program's trace, or null when it runs without one. Links and scans take
// it when they are made, so it is installed at start-up, before any is made.
TTraceFile *ProgramLinkTrace();

// Installs a trace as the program's for as long as it lives.
class TProgramLinkTrace {
public:
    explicit TProgramLinkTrace(TTraceFile *trace);
    ~TProgramLinkTrace();
    TProgramLinkTrace(const TProgramLinkTrace &) = delete;
    TProgramLinkTrace &operator=(const TProgramLinkTrace &) = delete;

private:
    TTraceFile *FPrevious;
};
