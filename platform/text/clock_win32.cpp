// SPDX-License-Identifier: Apache-2.0
#include "platform/text/date_time.h"

#include <windows.h>

TDateTimeParts LocalNowParts()
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
}

int UtcOffsetMinutesAt(const TDateTimeParts &local)
{
    SYSTEMTIME localTime{};
    localTime.wYear = static_cast<WORD>(local.Year);
    localTime.wMonth = static_cast<WORD>(local.Month);
    localTime.wDay = static_cast<WORD>(local.Day);
    localTime.wHour = static_cast<WORD>(local.Hour);
    localTime.wMinute = static_cast<WORD>(local.Minute);
    localTime.wSecond = static_cast<WORD>(local.Second);
    SYSTEMTIME utc{};
    FILETIME localFile{}, utcFile{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &localTime, &utc) || !SystemTimeToFileTime(&localTime, &localFile) ||
        !SystemTimeToFileTime(&utc, &utcFile))
        return 0;
    const auto ticks = [](const FILETIME &time) {
        return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    constexpr long long kTicksPerMinute = 600000000;  // 100 ns ticks
    return static_cast<int>((ticks(localFile) - ticks(utcFile)) / kTicksPerMinute);
}
