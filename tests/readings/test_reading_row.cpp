// SPDX-License-Identifier: Apache-2.0
#include "readings/reading_row.h"

#include "readings/reading_columns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

TEST(OneDecimal, RoundsAsTheTableShowsNumbers)
{
    const struct {
        double value;
        std::string expected;
    } cases[] = {
        {14.5, "14.5"},   {13, "13.0"},     {0.25, "0.3"},    {-0.25, "-0.3"},
        {14.35, "14.3"},  {0.05, "0.1"},    {-0.04, "0.0"},   {-0.06, "-0.1"},
        {0, "0.0"},       {-0.0, "0.0"},    {0.99, "1.0"},    {9.96, "10.0"},
        {99.96, "100.0"}, {-99.96, "-100.0"}, {0.01, "0.0"},  {0.049, "0.0"},
        {1234567.85, "1234567.9"},  // no thousands separators
        {1e20, "100000000000000000000.0"},
        {123456789012345678.0, "123456789012345680.0"},
        // The decimal of the nearest double decides: 0.45 lies just above, 0.95 and
        // 1.45 just below.
        {0.45, "0.5"},    {0.95, "0.9"},    {1.45, "1.4"},    {-1.45, "-1.4"},
        {1234567890123456.25, "1234567890123456.3"},
        {1e-300, "0.0"},  {-1e-300, "0.0"},
        {5e-324, "0.0"},
        {1.7976931348623157e308, "179769313486231571" + std::string(291, '0') + ".0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(c.expected, FormatOneDecimal(c.value, U'.'));
    }
}

TEST(OneDecimal, UsesTheGivenDecimalSeparator)
{
    EXPECT_EQ("14,5", FormatOneDecimal(14.5, U','));
    EXPECT_EQ("-0,3", FormatOneDecimal(-0.25, U','));
    EXPECT_EQ("2\xD9\xAB" "5", FormatOneDecimal(2.5, U'\u066B'));  // a two-byte separator
}

TEST(OneDecimal, NonFiniteValuesGetAText)
{
    EXPECT_EQ("INF", FormatOneDecimal(INFINITY, U'.'));
    EXPECT_EQ("-INF", FormatOneDecimal(-INFINITY, U'.'));
    EXPECT_EQ("NAN", FormatOneDecimal(NAN, U'.'));
}

TDateTime At(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    TDateTimeParts p;
    p.Year = year, p.Month = month, p.Day = day;
    p.Hour = hour, p.Minute = minute, p.Second = second, p.Millisecond = millisecond;
    return EncodeDateTime(p);
}

TRegionalSettings UsSettings()
{
    return TRegionalSettings{};  // ".", ",", M/d/yyyy, h:mm:ss tt
}

TRegionalSettings GermanSettings()
{
    TRegionalSettings settings;
    settings.DecimalSeparator = U',';
    settings.ListSeparator = ";";
    settings.ShortDateFormat = "dd.MM.yyyy";
    settings.LongTimeFormat = "HH:mm:ss";
    settings.TimeAMString = settings.TimePMString = "";
    return settings;
}

TEST(DateTimeCell, ShowsTheTimeUnlessItIsExactlyMidnight)
{
    const struct {
        TDateTime value;
        TRegionalSettings settings;
        const char *expected;
    } cases[] = {
        {At(2020, 6, 15, 23, 9, 33, 0), UsSettings(), "6/15/2020 11:09:33 PM"},
        {At(2020, 6, 15, 23, 9, 33, 0), GermanSettings(), "15.06.2020 23:09:33"},
        {At(2020, 6, 15, 0, 0, 0, 0), UsSettings(), "6/15/2020"},
        {At(2020, 6, 15, 0, 0, 0, 0), GermanSettings(), "15.06.2020"},
        // A millisecond past midnight is no longer midnight, though the time shows none.
        {At(2020, 6, 15, 0, 0, 0, 1), GermanSettings(), "15.06.2020 00:00:00"},
        {At(2020, 6, 15, 12, 0, 0, 0), UsSettings(), "6/15/2020 12:00:00 PM"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.expected, FormatDateTimeCell(c.value, c.settings));
    }
}

template <std::size_t Width>
void SetField(TTextField<Width> &field, const char *text)
{
    field = {};
    std::memcpy(field.data(), text, std::min(Width, std::strlen(text)));
}

TReading SampleReading()
{
    TReading r;
    SetField(r.Range, "AB1");
    SetField(r.Serial, "123456");
    r.Moisture = 14.5;
    r.Temperature = 21.3;
    SetField(r.IR[0], "101");
    SetField(r.IR[1], "102");
    SetField(r.IR[2], "103");
    SetField(r.IR[3], "1234567");
    r.Protein = 12.3;
    r.Oil = 4.5;
    r.Water = 13;
    r.Starch = 60.1;
    r.Timestamp = At(2020, 6, 15, 23, 9, 33, 0);
    return r;
}

std::vector<std::string> RowOf(const TReadingsTable &table, int row)
{
    std::vector<std::string> cells;
    for (int column = 0; column < table.ColumnCount(); ++column)
        cells.emplace_back(table.Cell(column, row));
    return cells;
}

TEST(ReadingsTableSetUp, WritesTheHeadersOfEitherLayout)
{
    const std::vector<std::string> normal = {
        "   No.", "   Range", "   Moisture [%]", "   Temp [\xC2\xB0" "C]", "   Protein [%]",
        "   Oil [%]", "   Water [%]", "   Starch [%]", "   Ser. no.", "   Date/Time"};
    std::vector<std::string> clb = normal;
    clb.insert(clb.end(), {"IR1", "IR2", "IR3", "IR4"});
    for (const bool clbMode : {false, true}) {
        SCOPED_TRACE(clbMode);
        TReadingsTable table(1);
        SetUpReadingsTable(table, clbMode);
        EXPECT_EQ(1, table.RowCount());
        EXPECT_EQ(clbMode ? clb : normal, RowOf(table, 0));
    }
}

TEST(ReadingsTableSetUp, RefusesATableThatAlreadyHoldsReadings)
{
    TReadingsTable table(NormalColumnCount);
    SetUpReadingsTable(table, false);
    AddReadingToTable(table, SampleReading(), false, UsSettings());
    EXPECT_THROW(SetUpReadingsTable(table, false), std::logic_error);
    EXPECT_EQ(2, table.RowCount());
}

TEST(AddReading, FillsTheRowOfEitherLayoutAndLocale)
{
    const struct {
        bool clbMode;
        TRegionalSettings settings;
        std::vector<std::string> expected;
    } cases[] = {
        {false, UsSettings(),
         {"1", "AB1", "14.5", "21.3", "12.3", "4.5", "13.0", "60.1", "123456", "6/15/2020 11:09:33 PM"}},
        {false, GermanSettings(),
         {"1", "AB1", "14,5", "21,3", "12,3", "4,5", "13,0", "60,1", "123456", "15.06.2020 23:09:33"}},
        {true, UsSettings(),
         {"1", "AB1", "14.5", "21.3", "12.3", "4.5", "13.0", "60.1", "123456", "6/15/2020 11:09:33 PM",
          "101", "102", "103", "1234567"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected[9]);
        TReadingsTable table(1);
        SetUpReadingsTable(table, c.clbMode);
        EXPECT_EQ(1, AddReadingToTable(table, SampleReading(), c.clbMode, c.settings));
        EXPECT_EQ(c.expected, RowOf(table, 1));
    }
}

TEST(AddReading, RowsAreNumberedInArrivalOrderAndKeepTheirSettings)
{
    TReadingsTable table(1);
    SetUpReadingsTable(table, false);
    TReading reading = SampleReading();
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(n, AddReadingToTable(table, reading, false, n == 2 ? GermanSettings() : UsSettings()));
    EXPECT_EQ(4, table.RowCount());
    EXPECT_EQ("3", table.Cell(rcNo, 3));
    // A change of the settings leaves earlier rows as they were written.
    EXPECT_EQ("14.5", table.Cell(rcMoisture, 1));
    EXPECT_EQ("14,5", table.Cell(rcMoisture, 2));
    EXPECT_EQ("14.5", table.Cell(rcMoisture, 3));
}

TEST(AddReading, TextFieldsShowAtMostTheirWidth)
{
    TReading reading = SampleReading();
    // Full fields carry no NUL after them.
    std::memcpy(reading.Range.data(), "ABCD", 4);
    std::memcpy(reading.Serial.data(), "654321", 6);
    reading.IR[0] = {};
    TReadingsTable table(1);
    SetUpReadingsTable(table, true);
    AddReadingToTable(table, reading, true, UsSettings());
    EXPECT_EQ("ABCD", table.Cell(rcRange, 1));
    EXPECT_EQ("654321", table.Cell(rcSerNo, 1));
    EXPECT_EQ("", table.Cell(rcIR1, 1));
    EXPECT_EQ("1234567", table.Cell(rcIR4, 1));
}

TEST(AddReading, WithoutRawColumnsTheRawTextsAppearNowhere)
{
    TReadingsTable table(1);
    SetUpReadingsTable(table, false);
    AddReadingToTable(table, SampleReading(), false, UsSettings());
    ASSERT_EQ(NormalColumnCount, table.ColumnCount());
    for (const auto &cell : RowOf(table, 1))
        EXPECT_EQ(std::string::npos, cell.find("1234567")) << cell;
}

} // namespace
