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

int UtcOffsetMinutesAt(const TDateTimeParts &local)
{
    tm parts{};
    parts.tm_year = local.Year - 1900;
    parts.tm_mon = local.Month - 1;
    parts.tm_mday = local.Day;
    parts.tm_hour = local.Hour;
    parts.tm_min = local.Minute;
    parts.tm_sec = local.Second;
    parts.tm_isdst = -1;  // the system knows whether summer time holds then
    if (mktime(&parts) == static_cast<time_t>(-1))
        return 0;
    return static_cast<int>(parts.tm_gmtoff / 60);
}
