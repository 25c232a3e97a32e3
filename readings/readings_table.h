// SPDX-License-Identifier: Apache-2.0
// The readings table: row 0 holds the column headers, rows 1 to RowCount() - 1 the
// readings in arrival order. Cells hold finished UTF-8 text; rows are only ever
// added. Stored compactly, since an unattended run can reach a million rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TReadingsTable {
public:
    // A table with the given number of columns and one empty header row.
    explicit TReadingsTable(int columnCount);

    int ColumnCount() const;
    // 1 + the number of readings.
    int RowCount() const;
    // The text of a cell; empty for a cell outside the table.
    std::string_view Cell(int column, int row) const;

    // Sets the header text of a column (row 0).
    void SetHeader(int column, std::string_view text);
    // Appends one row; missing cells are empty, extra cells are ignored.
    // Returns the new row's index.
    int AppendRow(const std::vector<std::string> &cells);
    // Makes room for this many readings in all, so that appending up to that
    // count allocates no more row bookkeeping.
    void Reserve(int readingCount);

private:
    int FColumnCount;
    std::vector<std::string> FHeaders;
    // Every data cell's text, one after another. Data row r (r >= 1) starts at
    // FRowStart[r - 1]; FCellEnd[(r - 1) * FColumnCount + c] is where its cell c
    // ends, counted from the row's start.
    std::string FText;
    std::vector<std::size_t> FRowStart;
    std::vector<std::uint16_t> FCellEnd;
};
