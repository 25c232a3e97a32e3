// SPDX-License-Identifier: Apache-2.0
#include "publish/reading_message.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <ctime>

namespace {

template <std::size_t Width>
TTextField<Width> Field(const char *text)
{
    TTextField<Width> field{};
    std::memcpy(field.data(), text, std::min(Width, std::strlen(text)));
    return field;
}

TReading SomeReading()
{
    TReading reading;
    reading.Range = Field<4>("WHT");
    reading.Serial = Field<6>("A12345");
    reading.Moisture = 12.34;
    reading.Temperature = -0.04;  // the table shows 0.0, without a sign
    reading.Protein = 11.25;
    reading.Oil = 1.96;
    reading.Water = 12.3;
    reading.Starch = 1234.5;
    reading.IR = {Field<7>("0.1234"), Field<7>("1.5"), Field<7>("22"), Field<7>("-3")};
    reading.Timestamp = EncodeDateTime({2026, 12, 10, 8, 46, 1, 250});
    return reading;
}

TPublishingRun SomeRun(bool clb)
{
    return {{2026, 12, 10, 8, 45, 12, 0}, "lab-pc-3", "meter-readout 1.3.0", clb};
}

// The local offset as the message writes it, from the system's own clock.
std::string Offset(const TDateTimeParts &local)
{
    const int minutes = UtcOffsetMinutesAt(local);
    char text[8];
    std::snprintf(text, sizeof text, "%c%02d:%02d", minutes < 0 ? '-' : '+', std::abs(minutes) / 60,
                  std::abs(minutes) % 60);
    return text;
}

} // namespace

TEST(ReadingMessage, HoldsTheFieldsWithTheTablesNumbers)
{
    for (bool clb : {false, true}) {
        SCOPED_TRACE(clb ? "clb" : "standard");
        const std::string time = "2026-12-10T08:46:01.250" + Offset({2026, 12, 10, 8, 46, 1, 250});
        const std::string id = "2026-12-10T08:45:12.000" + Offset({2026, 12, 10, 8, 45, 12, 0}) + "/7";
        const std::string ir = clb ? R"(,"ir":["0.1234","1.5","22","-3"])" : "";
        EXPECT_EQ(ReadingMessage(SomeRun(clb), 7, SomeReading()),
                  R"({"id":")" + id + R"(","row":7,"time":")" + time +
                      R"(","serial":"A12345","range":"WHT","moisture":12.3,"temperature":0.0,"protein":11.3,)"
                      R"("oil":2.0,"water":12.3,"starch":1234.5)" +
                      ir + R"(,"host":"lab-pc-3","program":"meter-readout 1.3.0"})");
    }
}

TEST(ReadingMessage, KeepsTheJsonValidWhateverTheMeterSends)
{
    TReading reading = SomeReading();
    reading.Serial = Field<6>("a\"b\\c\x01");
    reading.Moisture = std::nan("");
    reading.Oil = INFINITY;
    const std::string message = ReadingMessage(SomeRun(false), 1, reading);
    EXPECT_NE(message.find(R"("serial":"a\"b\\c\u0001")"), std::string::npos) << message;
    EXPECT_NE(message.find(R"("moisture":null)"), std::string::npos) << message;
    EXPECT_NE(message.find(R"("oil":null)"), std::string::npos) << message;
}

TEST(ReadingMessage, TopicsStayValidAndOneLevelDeep)
{
    const struct {
        const char *Serial;
        const char *Topic;
    } cases[] = {
        {"A12345", "lab/A12345/reading"},
        {"", "lab/_/reading"},
        {"a/b", "lab/a_b/reading"},
        {"+#", "lab/__/reading"},
        {"x\ty", "lab/x_y/reading"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Serial);
        TReading reading;
        reading.Serial = Field<6>(c.Serial);
        EXPECT_EQ(ReadingTopic("lab", reading), c.Topic);
    }
    EXPECT_EQ(StatusTopic("site/lab", "lab-pc-3"), "site/lab/status/lab-pc-3");
}

#ifndef _WIN32
// The offset of that day in the zone the system is set to, summer or winter,
// not today's.
TEST(ReadingMessage, WritesLocalTimeWithTheOffsetOfThatDay)
{
    const struct {
        const char *Zone;
        TDateTimeParts Local;
        const char *Text;
    } cases[] = {
        {"UTC0", {2026, 1, 15, 12, 0, 0, 0}, "2026-01-15T12:00:00+00:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", {2026, 1, 15, 12, 0, 0, 0}, "2026-01-15T12:00:00+01:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", {2026, 7, 15, 12, 0, 0, 5}, "2026-07-15T12:00:00.005+02:00"},
        {"EST5EDT,M3.2.0,M11.1.0", {2026, 12, 31, 23, 59, 59, 999}, "2026-12-31T23:59:59.999-05:00"},
        {"<+0530>-5:30", {2026, 3, 1, 0, 0, 0, 0}, "2026-03-01T00:00:00+05:30"},
    };
    const char *was = std::getenv("TZ");
    const std::string before = was ? was : "";
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Zone) + " " + c.Text);
        setenv("TZ", c.Zone, 1);
        tzset();
        EXPECT_EQ(IsoDateTime(c.Local), c.Text);
    }
    if (was)
        setenv("TZ", before.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
#endif
