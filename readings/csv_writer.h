// SPDX-License-Identifier: Apache-2.0
// The readings table as a CSV file: one line per table row, header first, the
// fields in column order, the regional list separator between them, CR LF after
// every line, the text in the ANSI code page and no byte-order mark. Save and the
// headless runner's CSV output both go through CsvLine, so both write the same
// bytes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/text/regional_settings.h"
#include "readings/readings_table.h"

// The field separator (UTF-8): the regional list separator when it is one
// character, else ",".
std::string CsvListSeparator(const TRegionalSettings &settings);

// A cell's text as it goes into a line (UTF-8). Written unchanged unless it holds
// the separator, a double quote, CR or LF: then it is put in double quotes with
// each inner quote doubled, so that a reader still finds every field.
std::string CsvField(std::string_view cellUtf8, std::string_view separatorUtf8);

// One line in the ANSI code page: fields 0 to fieldCount - 1 of the row, the
// separator after every field but the last, CR LF after the last.
std::string CsvLine(const TReadingsTable &table, int row, int fieldCount, std::string_view separatorUtf8);

// Every line of the table from row 0, 10 fields per line or 14 in clb mode,
// handed to sink in large pieces that end at line ends.
void WriteCsv(const TReadingsTable &table, bool clbMode, const TRegionalSettings &settings,
              const std::function<void(std::string_view bytes)> &sink);

// Writes the table to the file (UTF-8 path). The previous file of that name stays
// as it was until the new one is wholly on the disk. Throws EFileError
// (platform/files/atomic_file.h) with the operator's message.
void SaveCsv(const TReadingsTable &table, bool clbMode, const std::string &pathUtf8, const TRegionalSettings &settings);
