// SPDX-License-Identifier: Apache-2.0
// Local date and time as the program keeps them: a double whose whole part counts
// the days since 30 December 1899 and whose fraction is the time of day.
#pragma once

#include <cstdint>

using TDateTime = double;

struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The local clock, to the millisecond.
TDateTimeParts LocalNowParts();
TDateTime NowLocal();

// How far the local clock is ahead of UTC at the local time `local`, in
// minutes (negative west of Greenwich). In the hour that a change back from
// summer time repeats, the earlier of the two is taken.
int UtcOffsetMinutesAt(const TDateTimeParts &local);

TDateTime EncodeDateTime(const TDateTimeParts &parts);
TDateTimeParts DecodeDateTime(TDateTime value);
