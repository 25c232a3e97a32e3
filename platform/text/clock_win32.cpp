// SPDX-License-Identifier: Apache-2.0
#include "platform/text/date_time.h"

#include <windows.h>

TDateTimeParts LocalNowParts()
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
}
