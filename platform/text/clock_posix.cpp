// SPDX-License-Identifier: Apache-2.0
#include "platform/text/date_time.h"

#include <ctime>
#include <sys/time.h>

TDateTimeParts LocalNowParts()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second stays inside the minute
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second,
            static_cast<int>(now.tv_nsec / 1000000)};
}
