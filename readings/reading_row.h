// SPDX-License-Identifier: Apache-2.0
// The rows of the readings table: headers, and one reading as finished cell texts.
#pragma once

#include "link/reading.h"
#include "platform/text/date_time.h"
#include "platform/text/regional_settings.h"
#include "readings/readings_table.h"

#include <string>
#include <vector>

// A number in fixed-point notation with exactly one fractional digit: first
// taken to 18 significant digits (ties to even), then to one fractional digit
// (ties away from zero). No thousands separators; no minus sign on a zero result.
std::string FormatOneDecimal(double value, char32_t decimalSeparator);

// The short date, then, unless the time of day is exactly midnight, one space
// and the long time.
std::string FormatDateTimeCell(TDateTime value, const TRegionalSettings &settings);

// The header text of a column ("   No.", ..., "IR4"), UTF-8.
std::string ReadingColumnHeader(int column);

// Gives the table the column count of the layout (14 with the raw values, else
// 10) and writes the headers into row 0. The table must hold no readings yet.
void SetUpReadingsTable(TReadingsTable &table, bool clbMode);

// The cells of one reading's row, numbered rowNumber.
std::vector<std::string> ReadingRowCells(int rowNumber, const TReading &reading, bool clbMode,
                                         const TRegionalSettings &settings);

// Appends a reading as the table's next row; returns the row's index. The row
// is formatted whole before it is appended, so a failure leaves no part of it.
int AddReadingToTable(TReadingsTable &table, const TReading &reading, bool clbMode,
                      const TRegionalSettings &settings);
