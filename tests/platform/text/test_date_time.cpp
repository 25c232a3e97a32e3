// SPDX-License-Identifier: Apache-2.0
#include "platform/text/date_time.h"
#include "platform/text/date_time_format.h"

#include <gtest/gtest.h>

namespace {

TDateTimeParts Parts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                     int millisecond = 0)
{
    TDateTimeParts p;
    p.Year = year, p.Month = month, p.Day = day;
    p.Hour = hour, p.Minute = minute, p.Second = second, p.Millisecond = millisecond;
    return p;
}

void ExpectSameParts(const TDateTimeParts &expected, const TDateTimeParts &actual)
{
    EXPECT_EQ(expected.Year, actual.Year);
    EXPECT_EQ(expected.Month, actual.Month);
    EXPECT_EQ(expected.Day, actual.Day);
    EXPECT_EQ(expected.Hour, actual.Hour);
    EXPECT_EQ(expected.Minute, actual.Minute);
    EXPECT_EQ(expected.Second, actual.Second);
    EXPECT_EQ(expected.Millisecond, actual.Millisecond);
}

TEST(DateTime, KnownDaysCountFromThe30thOfDecember1899)
{
    EXPECT_EQ(0.0, EncodeDateTime(Parts(1899, 12, 30)));
    EXPECT_EQ(2.0, EncodeDateTime(Parts(1900, 1, 1)));
    EXPECT_EQ(43997.0, EncodeDateTime(Parts(2020, 6, 15)));
    EXPECT_EQ(43997.75, EncodeDateTime(Parts(2020, 6, 15, 18)));
    EXPECT_EQ(-1.25, EncodeDateTime(Parts(1899, 12, 29, 6)));
}

TEST(DateTime, EncodeThenDecodeGivesTheSameMillisecond)
{
    const TDateTimeParts cases[] = {
        Parts(2020, 6, 15, 23, 9, 33, 0),   Parts(2024, 2, 29, 0, 0, 0, 0),
        Parts(2000, 1, 1, 12, 0, 0, 1),      Parts(1999, 12, 31, 23, 59, 59, 999),
        Parts(1899, 12, 30, 0, 0, 0, 0),     Parts(1899, 12, 29, 6, 30, 0, 500),
        Parts(2100, 3, 1, 1, 2, 3, 4),       Parts(9999, 12, 31, 23, 59, 59, 999),
    };
    for (const auto &parts : cases) {
        SCOPED_TRACE(testing::Message() << parts.Year << '-' << parts.Month << '-' << parts.Day << ' '
                                        << parts.Hour << ':' << parts.Minute << ':' << parts.Second
                                        << '.' << parts.Millisecond);
        ExpectSameParts(parts, DecodeDateTime(EncodeDateTime(parts)));
    }
}

TEST(DateTime, ATimeJustBeforeMidnightRoundsToTheNextDay)
{
    // Half a millisecond before midnight rounds forward, whichever side of the epoch.
    const double halfMillisecond = 0.5 / 86400000.0;
    ExpectSameParts(Parts(2020, 6, 16), DecodeDateTime(43998.0 - halfMillisecond / 2));
    ExpectSameParts(Parts(1899, 12, 30), DecodeDateTime(-1.0 - (1.0 - halfMillisecond / 2)));
}

TEST(DateTimePicture, FormatsEachFieldOfThePicture)
{
    TRegionalSettings settings;
    settings.TimeAMString = "am";
    settings.TimePMString = "pm";
    const TDateTime evening = EncodeDateTime(Parts(2020, 6, 5, 23, 9, 3, 700));
    const TDateTime morning = EncodeDateTime(Parts(2007, 11, 25, 0, 5, 59));
    const TDateTime y2026 = EncodeDateTime(Parts(2026, 3, 4));
    const TDateTime y2005 = EncodeDateTime(Parts(2005, 11, 12));
    const TDateTime y2010 = EncodeDateTime(Parts(2010, 1, 2));
    const struct {
        TDateTime value;
        const char *picture;
        const char *expected;
    } cases[] = {
        {evening, "M/d/yyyy", "6/5/2020"},
        {evening, "dd.MM.yyyy", "05.06.2020"},
        {evening, "yy-MM-dd", "20-06-05"},
        {evening, "h:mm:ss tt", "11:09:03 pm"},
        {evening, "HH:mm:ss", "23:09:03"},
        {evening, "H:m:s t", "23:9:3 p"},
        {morning, "h:mm:ss tt", "12:05:59 am"},
        {morning, "ddd dddd MMM MMMM", "Sun Sunday Nov November"},
        {evening, "ddd, d. MMM", "Fri, 5. Jun"},
        {evening, "yyyy\xE5\xB9\xB4M\xE6\x9C\x88", "2020\xE5\xB9\xB4" "6\xE6\x9C\x88"},
        {evening, "", ""},
        // Quoted literals; '' is one quote, inside quotes or out.
        {morning, "hh 'h' mm", "12 h 05"},
        {morning, "HH'h'mm", "00h05"},
        {morning, "'It''s' d", "It's 25"},
        {morning, "h''mm", "12'05"},
        {morning, "'open d", "open d"},
        // Windows shows one "y" as the year's last digit, not two, and leaves
        // era fields out under the Gregorian calendar instead of printing their
        // letters.
        {y2026, "y", "6"},
        {y2026, "yy", "26"},
        {y2026, "yyyy", "2026"},
        {y2026, "yyyyy", "2026"},
        {y2005, "y", "5"},
        {y2005, "yy", "05"},
        {y2010, "y", "0"},
        {y2010, "yy", "10"},
        {y2026, "M/d/y", "3/4/6"},
        {y2026, "d.M.yy", "4.3.26"},
        {y2026, "g yyyy", " 2026"},
        {y2026, "dd.MM.yyyy gg", "04.03.2026 "},
        {y2026, "'g' y", "g 6"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.picture);
        EXPECT_EQ(c.expected, FormatDateTimePicture(c.value, c.picture, settings));
    }
}

TEST(DateTimePicture, StrftimeFormatsBecomePictures)
{
    const struct {
        const char *format;
        const char *picture;
    } cases[] = {
        {"%m/%d/%Y", "MM/dd/yyyy"},
        {"%d.%m.%Y", "dd.MM.yyyy"},
        {"%-d/%-m/%y", "d/M/yy"},
        {"%e.%m.%Y", "d.MM.yyyy"},
        {"%Y-%m-%d", "yyyy-MM-dd"},
        {"%F", "yyyy-MM-dd"},
        {"%D", "MM/dd/yy"},
        {"%T", "HH:mm:ss"},
        {"%r", "hh:mm:ss tt"},
        {"%R", "HH:mm"},
        {"%I:%M:%S %p", "hh:mm:ss tt"},
        {"%l:%M:%S %p", "h:mm:ss tt"},
        {"%k:%M:%S", "H:mm:ss"},
        {"%OH:%OM:%OS", "HH:mm:ss"},
        {"%d/%m/%Ey", "dd/MM/yy"},
        // A time zone has no picture; the blank before it goes with it.
        {"%I:%M:%S %p %Z", "hh:mm:ss tt"},
        {"%Z %I:%M:%S %p", "hh:mm:ss tt"},
        // Letters in literal text are quoted, so they are not read as fields.
        {"kl. %H.%M", "'kl. 'HH.mm"},
        {"%d de %B de %Y", "dd' de 'MMMM' de 'yyyy"},
        {"%H h %M", "HH' h 'mm"},
        {"%d %b, %Y", "dd MMM, yyyy"},
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", "yyyy\xE5\xB9\xB4MM\xE6\x9C\x88" "dd\xE6\x97\xA5"},
        {"%H%%", "HH%"},
        {"%d.%m.%Y.", "dd.MM.yyyy."},
        {"o'clock %H", "'o''clock 'HH"},
        {"", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(c.picture, StrftimeToPicture(c.format));
    }
}

TEST(DateTimePicture, TranslatedLiteralTextFormatsAsItselfAgain)
{
    TRegionalSettings settings;
    const TDateTime value = EncodeDateTime(Parts(2021, 3, 4, 5, 6, 7));
    EXPECT_EQ("kl. 05.06", FormatDateTimePicture(value, StrftimeToPicture("kl. %H.%M"), settings));
    EXPECT_EQ("o'clock 05", FormatDateTimePicture(value, StrftimeToPicture("o'clock %H"), settings));
}

} // namespace
