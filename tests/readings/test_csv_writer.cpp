// SPDX-License-Identifier: Apache-2.0
#include "readings/csv_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/code_page.h"
#include "readings/reading_columns.h"
#include "readings/reading_row.h"
#include "tests/support/environment_locale.h"
#include "tests/support/scratch_folder.h"

namespace {

// The header texts as an operator sees them in the file, independent of the table set-up.
const std::vector<std::string> HeaderTexts = {
    "   No.",      "   Range",     "   Moisture [%]", "   Temp [°C]", "   Protein [%]", "   Oil [%]", "   Water [%]",
    "   Starch [%]", "   Ser. no.", "   Date/Time",    "IR1",          "IR2",            "IR3",        "IR4",
};

const TRegionalSettings UnitedStates{
    .DecimalSeparator = U'.', .ListSeparator = ",", .ShortDateFormat = "M/d/yyyy", .LongTimeFormat = "h:mm:ss tt"};
const TRegionalSettings Germany{
    .DecimalSeparator = U',', .ListSeparator = ";", .ShortDateFormat = "dd.MM.yyyy", .LongTimeFormat = "HH:mm:ss"};

// The table as the main window sets it up: headers in row 0, then the rows given.
TReadingsTable MakeTable(bool clbMode, const std::vector<std::vector<std::string>> &rows = {})
{
    TReadingsTable table(1);
    SetUpReadingsTable(table, clbMode);
    for (const auto &row : rows)
        table.AppendRow(row);
    return table;
}

std::string Join(const std::vector<std::string> &fields, const std::string &separator)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? separator : "") + fields[i];
    return line + "\r\n";
}

// The current code page's name in capitals.
std::string CodePage()
{
    std::string name = AnsiCodePageName();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

bool IsWesternCodePage()
{
    const std::string name = CodePage();
    return name == "CP1252" || name == "WINDOWS-1252" || name == "ISO-8859-1" || name == "ISO-8859-15";
}

// The bytes a UTF-8 text has in the current code page, for the code pages whose
// bytes for these texts the test knows; nothing for others.
std::optional<std::string> InCodePage(const std::string &utf8)
{
    const std::string name = CodePage();
    if (name == "UTF-8" || name == "UTF8" || name == "CP65001")
        return utf8;
    if (IsWesternCodePage()) {
        std::string bytes = utf8;
        for (std::size_t at; (at = bytes.find("\xC2\xB0")) != std::string::npos;)
            bytes.replace(at, 2, "\xB0");
        return bytes;
    }
    return std::nullopt;
}

// The code page follows the environment's locale: switch to a Western one where
// the machine has it, and back afterwards. On Windows the ANSI code page is the
// system's (Western under Wine).
class TWesternCodePage {
public:
    TWesternCodePage()
    {
#ifndef _WIN32
        for (const char *name : {"en_US.ISO-8859-1", "de_DE.ISO-8859-1", "en_US.ISO-8859-15", "de_DE@euro", "en_US", "de_DE"}) {
            if (!LocaleExists(name))
                continue;
            FLocale.emplace(name);
            if (IsWesternCodePage())
                break;
            FLocale.reset();
        }
#endif
        FActive = IsWesternCodePage();
    }
    bool Active() const { return FActive; }

private:
#ifndef _WIN32
    std::optional<TEnvironmentLocale> FLocale;
#endif
    bool FActive = false;
};


} // namespace

TEST(CsvWriter, HeaderLineMatchesTheWorkedExamplesByteForByte)
{
    struct TCase {
        const char *Name;
        TRegionalSettings Settings;
        bool ClbMode;
        const char *Expected;  // UTF-8, without the line end
        std::size_t Characters;
    };
    const TCase cases[] = {
        {"United States", UnitedStates, false,
         "   No.,   Range,   Moisture [%],   Temp [°C],   Protein [%],   Oil [%],   Water [%],   Starch [%],   Ser. no.,   Date/Time",
         122},
        {"Germany", Germany, false,
         "   No.;   Range;   Moisture [%];   Temp [°C];   Protein [%];   Oil [%];   Water [%];   Starch [%];   Ser. no.;   Date/Time",
         122},
        // The raw-value columns follow, their headers unpadded.
        {"clb", UnitedStates, true,
         "   No.,   Range,   Moisture [%],   Temp [°C],   Protein [%],   Oil [%],   Water [%],   Starch [%],   Ser. no.,   Date/Time,"
         "IR1,IR2,IR3,IR4",
         138},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.Name);
        const auto expected = InCodePage(std::string(testCase.Expected) + "\r\n");
        if (!expected)
            GTEST_SKIP() << "no known bytes for code page " << AnsiCodePageName();
        const std::string line = CsvLine(MakeTable(testCase.ClbMode), 0, ColumnCountFor(testCase.ClbMode),
                                         CsvListSeparator(testCase.Settings));
        EXPECT_EQ(line, *expected);
        // The characters and CR LF; the degree sign is one byte in Windows-1252, two in UTF-8.
        EXPECT_EQ(line.size(), testCase.Characters + (IsWesternCodePage() ? 2 : 3));
    }
}

TEST(CsvWriter, DegreeSignIsOneByteInAWesternCodePage)
{
    TWesternCodePage western;
    if (!western.Active())
        GTEST_SKIP() << "no Western code page at hand (" << AnsiCodePageName() << ")";

    const std::string line = CsvLine(MakeTable(false), 0, NormalColumnCount, ",");

    EXPECT_EQ(line.size(), 124u);
    EXPECT_NE(line.find("   Temp [\xB0" "C],"), std::string::npos);
}

TEST(CsvWriter, SavedFileHoldsEveryRowWithTheFieldCountOfTheMode)
{
    const std::vector<std::string> reading = {"1", "R2", "14,2", "21,5", "11,3", "1,9", "13,8", "67,4", "123456", "15.06.2020 23:09:33",
                                              "0012345", "0023456", "0034567", "0045678"};
    const std::vector<std::string> second = {"2", "R1", "9,0", "-0,1", "0,0", "0,0", "0,0", "0,0", "", "16.06.2020",
                                             "", "1", "2", "3"};
    struct TCase {
        const char *Name;
        bool ClbMode;
        int TableColumns;  // the writer must go by the mode, not by the table
        std::vector<std::vector<std::string>> Rows;
    };
    const TCase cases[] = {
        {"normal", false, NormalColumnCount, {reading, second}},
        {"clb", true, ClbColumnCount, {reading, second}},
        {"normal mode over a wider table", false, ClbColumnCount, {reading}},
        {"no readings", false, NormalColumnCount, {}},
        {"clb, no readings", true, ClbColumnCount, {}},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.Name);
        const int fields = ColumnCountFor(testCase.ClbMode);
        TReadingsTable table(testCase.TableColumns);
        for (int column = 0; column < testCase.TableColumns; ++column)
            table.SetHeader(column, HeaderTexts[static_cast<std::size_t>(column)]);
        std::string expectedUtf8 = Join({HeaderTexts.begin(), HeaderTexts.begin() + fields}, ";");
        for (const auto &row : testCase.Rows) {
            table.AppendRow(row);
            expectedUtf8 += Join({row.begin(), row.begin() + fields}, ";");
        }
        const auto expected = InCodePage(expectedUtf8);
        if (!expected)
            GTEST_SKIP() << "no known bytes for code page " << AnsiCodePageName();

        TScratchFolder folder("csv-writer-test");
        const std::string path = folder.File("readings.csv");
        SaveCsv(table, testCase.ClbMode, path, Germany);

        EXPECT_EQ(FileContents(path), *expected);
    }
}

TEST(CsvWriter, ListSeparatorIsTheRegionalOneOnlyWhenItIsOneCharacter)
{
    struct TCase {
        std::string Regional;
        std::string Expected;
    };
    const TCase cases[] = {
        {",", ","}, {";", ";"}, {"\t", "\t"}, {"¦", "¦"},  // one character of two UTF-8 bytes
        {"", ","},  {";;", ","}, {" ;", ","}, {"¦¦", ","},
    };
    for (const auto &testCase : cases) {
        TRegionalSettings settings = UnitedStates;
        settings.ListSeparator = testCase.Regional;
        EXPECT_EQ(CsvListSeparator(settings), testCase.Expected) << "regional separator \"" << testCase.Regional << "\"";
    }
}

TEST(CsvWriter, FieldIsQuotedOnlyWhenItWouldOtherwiseRunIntoItsNeighbours)
{
    struct TCase {
        const char *Cell;
        const char *Separator;
        const char *Expected;
    };
    const TCase cases[] = {
        // Left exactly as they are: nothing a reader could mistake.
        {"14,2", ";", "14,2"},
        {"   No.", ",", "   No."},
        {"", ",", ""},
        {"6/15/2020 11:09:33 PM", ",", "6/15/2020 11:09:33 PM"},
        {"a'b", ",", "a'b"},
        // The separator, a quote or a line break inside the field.
        {"14,2", ",", "\"14,2\""},
        {"1;2", ";", "\"1;2\""},
        {"R\"2", ",", "\"R\"\"2\""},
        {"\"\"", ";", "\"\"\"\"\"\""},
        {"a\r\nb", ",", "\"a\r\nb\""},
        {"a\nb", ",", "\"a\nb\""},
        {"a\rb", ",", "\"a\rb\""},
        {"x¦y", "¦", "\"x¦y\""},
        {"x\xC2y", "¦", "x\xC2y"},  // one byte of the separator alone is not the separator
    };
    for (const auto &testCase : cases)
        EXPECT_EQ(CsvField(testCase.Cell, testCase.Separator), testCase.Expected)
            << "cell \"" << testCase.Cell << "\" with separator \"" << testCase.Separator << "\"";
}

TEST(CsvWriter, EmptyCellsLeaveAdjacentSeparatorsAndQuotedFieldsStayInTheirColumn)
{
    TReadingsTable table = MakeTable(false, {{"1", "", "14,2", "", "", "", "", "", "", "x\"y"}});
    EXPECT_EQ(CsvLine(table, 1, NormalColumnCount, ","), "1,,\"14,2\",,,,,,,\"x\"\"y\"\r\n");
}

TEST(CsvWriter, LargeTableArrivesInFewPiecesThatEndAtLineEnds)
{
    TReadingsTable table = MakeTable(false);
    for (int i = 1; i <= 20000; ++i)
        table.AppendRow({std::to_string(i), "R2", "14.2", "21.5", "11.3", "1.9", "13.8", "67.4", "123456", "6/15/2020 11:09:33 PM"});
    std::string expected;
    for (int row = 0; row < table.RowCount(); ++row)
        expected += CsvLine(table, row, NormalColumnCount, ",");

    std::vector<std::string> pieces;
    WriteCsv(table, false, UnitedStates, [&](std::string_view bytes) { pieces.emplace_back(bytes); });

    ASSERT_GT(pieces.size(), 1u);
    EXPECT_LT(pieces.size(), 20u) << "the output is not buffered";
    std::string joined;
    for (const auto &piece : pieces) {
        EXPECT_TRUE(piece.size() >= 2 && piece.compare(piece.size() - 2, 2, "\r\n") == 0);
        joined += piece;
    }
    EXPECT_EQ(joined, expected);
}
