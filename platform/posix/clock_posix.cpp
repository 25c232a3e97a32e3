#include "platform/date_time.h"

#include <ctime>
#include <sys/time.h>

TDateTimeParts LocalNowParts()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    TDateTimeParts p;
    p.Year = local.tm_year + 1900;
    p.Month = local.tm_mon + 1;
    p.Day = local.tm_mday;
    p.Hour = local.tm_hour;
    p.Minute = local.tm_min;
    p.Second = local.tm_sec > 59 ? 59 : local.tm_sec; // a leap second stays inside the minute
    p.Millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return p;
}
