#include "platform/date_time.h"

#include <windows.h>

TDateTimeParts LocalNowParts()
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    TDateTimeParts p;
    p.Year = local.wYear;
    p.Month = local.wMonth;
    p.Day = local.wDay;
    p.Hour = local.wHour;
    p.Minute = local.wMinute;
    p.Second = local.wSecond;
    p.Millisecond = local.wMilliseconds;
    return p;
}
