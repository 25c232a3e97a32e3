// SPDX-License-Identifier: Apache-2.0
#include "readings/reading_row.h"

#include "platform/text/code_page.h"
#include "platform/text/date_time_format.h"
#include "platform/text/utf8.h"
#include "readings/reading_columns.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace {

constexpr int kSignificantDigits = 18;

} // namespace

std::string FormatOneDecimal(double value, char32_t decimalSeparator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";

    // The exact 18-digit decimal: to_chars rounds correctly (ties to even) on
    // every platform, unlike some C libraries' printf.
    char scientific[64];
    const auto result = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                      std::chars_format::scientific, kSignificantDigits - 1);
    if (result.ec != std::errc())
        throw std::runtime_error("number too long to format");
    // "d.ddddddddddddddddde+XX": the digits, and the power of ten of the first.
    std::string digits;
    const char *p = scientific;
    for (; *p != 'e'; ++p)
        if (*p != '.')
            digits += *p;
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), result.ptr, exponent);

    // Keep the digits down to the first fractional one; round away from zero on
    // the next digit.
    const int keep = exponent + 2;
    std::string kept;  // the value times ten, as decimal digits
    if (keep >= kSignificantDigits) {
        kept = digits + std::string(static_cast<std::size_t>(keep - kSignificantDigits), '0');
    } else if (keep >= 0) {
        kept = digits.substr(0, static_cast<std::size_t>(keep));
        if (digits[static_cast<std::size_t>(keep)] >= '5') {
            int i = keep - 1;
            for (; i >= 0 && kept[static_cast<std::size_t>(i)] == '9'; --i)
                kept[static_cast<std::size_t>(i)] = '0';
            if (i >= 0)
                ++kept[static_cast<std::size_t>(i)];
            else
                kept.insert(kept.begin(), '1');
        }
    }
    // kept < 0: below 0.01, which rounds to zero.
    const std::size_t firstNonZero = kept.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        kept = "0";
    else
        kept.erase(0, firstNonZero);
    if (kept.size() < 2)
        kept.insert(kept.begin(), 2 - kept.size(), '0');

    std::string out;
    if (value < 0 && firstNonZero != std::string::npos)
        out += '-';
    out.append(kept, 0, kept.size() - 1);
    AppendUtf8(out, decimalSeparator);
    out += kept.back();
    return out;
}

std::string FormatDateTimeCell(TDateTime value, const TRegionalSettings &settings)
{
    std::string text = FormatDateTimePicture(value, settings.ShortDateFormat, settings);
    const TDateTimeParts parts = DecodeDateTime(value);
    if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0 || parts.Millisecond != 0) {
        text += ' ';
        text += FormatDateTimePicture(value, settings.LongTimeFormat, settings);
    }
    return text;
}

std::string ReadingColumnHeader(int column)
{
    switch (column) {
    case rcNo: return "   No.";
    case rcRange: return "   Range";
    case rcMoisture: return "   Moisture [%]";
    case rcTemp: return "   Temp [\xC2\xB0" "C]";
    case rcProtein: return "   Protein [%]";
    case rcOil: return "   Oil [%]";
    case rcWater: return "   Water [%]";
    case rcStarch: return "   Starch [%]";
    case rcSerNo: return "   Ser. no.";
    case rcDateTime: return "   Date/Time";
    case rcIR1: return "IR1";
    case rcIR2: return "IR2";
    case rcIR3: return "IR3";
    case rcIR4: return "IR4";
    default: throw std::out_of_range("no such column of the readings table");
    }
}

void SetUpReadingsTable(TReadingsTable &table, bool clbMode)
{
    if (table.RowCount() > 1)
        throw std::logic_error("the readings table is set up before the first reading");
    table = TReadingsTable(ColumnCountFor(clbMode));
    for (int column = 0; column < table.ColumnCount(); ++column)
        table.SetHeader(column, ReadingColumnHeader(column));
}

std::vector<std::string> ReadingRowCells(int rowNumber, const TReading &reading, bool clbMode,
                                         const TRegionalSettings &settings)
{
    const char32_t separator = settings.DecimalSeparator;
    std::vector<std::string> cells;
    cells.reserve(static_cast<std::size_t>(ColumnCountFor(clbMode)));
    cells.push_back(std::to_string(rowNumber));
    cells.push_back(AnsiToUtf8(FieldText(reading.Range)));
    for (double number : {reading.Moisture, reading.Temperature, reading.Protein, reading.Oil,
                          reading.Water, reading.Starch})
        cells.push_back(FormatOneDecimal(number, separator));
    cells.push_back(AnsiToUtf8(FieldText(reading.Serial)));
    cells.push_back(FormatDateTimeCell(reading.Timestamp, settings));
    if (clbMode)
        for (const auto &raw : reading.IR)
            cells.push_back(AnsiToUtf8(FieldText(raw)));
    return cells;
}

int AddReadingToTable(TReadingsTable &table, const TReading &reading, bool clbMode,
                      const TRegionalSettings &settings)
{
    return table.AppendRow(ReadingRowCells(table.RowCount(), reading, clbMode, settings));
}
