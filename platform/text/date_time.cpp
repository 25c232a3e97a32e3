// SPDX-License-Identifier: Apache-2.0
#include "platform/text/date_time.h"

#include <cmath>

namespace {

// Days from 1 January of year 1 (proleptic Gregorian) to the given date.
std::int64_t DaysFromCivil(int year, int month, int day)
{
    // Counts in 400-year eras of 146097 days, with years starting on 1 March so
    // that the leap day comes last.
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra);
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t kMillisecondsPerDay = 86400000;

} // namespace

TDateTime EncodeDateTime(const TDateTimeParts &p)
{
    const std::int64_t days = DaysFromCivil(p.Year, p.Month, p.Day) - kEpochDays;
    const std::int64_t ms = ((p.Hour * 60LL + p.Minute) * 60 + p.Second) * 1000 + p.Millisecond;
    // Before the epoch the fraction still counts forwards from midnight.
    const double fraction = static_cast<double>(ms) / kMillisecondsPerDay;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

TDateTimeParts DecodeDateTime(TDateTime value)
{
    // Round to the millisecond first, so 0.99999999 of a day does not show as 23:59:59.1000.
    const double whole = std::trunc(value);
    std::int64_t days = static_cast<std::int64_t>(whole);
    std::int64_t ms = std::llround(std::fabs(value - whole) * kMillisecondsPerDay);
    if (ms >= kMillisecondsPerDay) {
        ms -= kMillisecondsPerDay;
        // The time of day counts forwards on either side of the epoch, so a
        // day's end rounds into the next day.
        ++days;
    }
    // civil_from_days
    std::int64_t z = days + kEpochDays;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    TDateTimeParts p;
    p.Day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    p.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    p.Year = static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (p.Month <= 2));
    p.Hour = static_cast<int>(ms / 3600000);
    p.Minute = static_cast<int>(ms / 60000 % 60);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.Millisecond = static_cast<int>(ms % 1000);
    return p;
}

TDateTime NowLocal()
{
    return EncodeDateTime(LocalNowParts());
}
