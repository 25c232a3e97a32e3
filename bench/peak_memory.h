// SPDX-License-Identifier: Apache-2.0
// The process's peak resident memory (Linux, /proc/self), for benchmarks that
// report memory beside time.
#pragma once

#include <fstream>
#include <malloc.h>
#include <string>

// Peak resident memory in kB (VmHWM); 0 where the system does not say.
inline long PeakResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Starts a new peak from the current resident size.
inline void ResetPeakResident()
{
    // Freed memory of an earlier case goes back to the system first, or the
    // next case would reuse it without raising the peak.
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
