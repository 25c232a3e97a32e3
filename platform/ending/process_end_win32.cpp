// SPDX-License-Identifier: Apache-2.0
#include "platform/ending/process_end.h"

#include <cstdio>
#include <windows.h>

void EndProcessNow(int status)
{
    std::fflush(nullptr);
    // Not ExitProcess: it would notify every library while the thread that
    // would not end may hold one of their locks.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    for (;;)
        Sleep(INFINITE);  // TerminateProcess does not return for its own process
}
