// SPDX-License-Identifier: Apache-2.0
#include "readings/readings_table.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

TReadingsTable::TReadingsTable(int columnCount)
    : FColumnCount(columnCount), FHeaders(static_cast<std::size_t>(columnCount))
{
    if (columnCount <= 0)
        throw std::invalid_argument("a readings table needs at least one column");
}

int TReadingsTable::ColumnCount() const
{
    return FColumnCount;
}

int TReadingsTable::RowCount() const
{
    return 1 + static_cast<int>(FRowStart.size());
}

std::string_view TReadingsTable::Cell(int column, int row) const
{
    if (column < 0 || column >= FColumnCount || row < 0 || row >= RowCount())
        return {};
    if (row == 0)
        return FHeaders[static_cast<std::size_t>(column)];
    const std::size_t first = static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(FColumnCount);
    const std::size_t rowStart = FRowStart[static_cast<std::size_t>(row - 1)];
    const std::size_t begin = column == 0 ? 0 : FCellEnd[first + static_cast<std::size_t>(column) - 1];
    const std::size_t end = FCellEnd[first + static_cast<std::size_t>(column)];
    return std::string_view(FText).substr(rowStart + begin, end - begin);
}

void TReadingsTable::SetHeader(int column, std::string_view text)
{
    if (column < 0 || column >= FColumnCount)
        throw std::out_of_range("header column outside the table");
    FHeaders[static_cast<std::size_t>(column)] = std::string(text);
}

namespace {

// Makes room for extra more elements, growing geometrically: reserving the exact
// size at every row would copy the whole table each time.
template <typename Container>
void ReserveMore(Container &container, std::size_t extra)
{
    const std::size_t needed = container.size() + extra;
    if (needed > container.capacity())
        container.reserve(std::max(needed, container.capacity() * 2));
}

} // namespace

int TReadingsTable::AppendRow(const std::vector<std::string> &cells)
{
    std::size_t rowLength = 0;
    for (int c = 0; c < FColumnCount && c < static_cast<int>(cells.size()); ++c)
        rowLength += cells[static_cast<std::size_t>(c)].size();
    if (rowLength > std::numeric_limits<std::uint16_t>::max())
        throw std::length_error("a table row's text is too long");

    // Reserve first, so a failed allocation leaves the table as it was.
    ReserveMore(FRowStart, 1);
    ReserveMore(FCellEnd, static_cast<std::size_t>(FColumnCount));
    ReserveMore(FText, rowLength);

    const std::size_t rowStart = FText.size();
    std::size_t end = 0;
    for (int c = 0; c < FColumnCount; ++c) {
        if (c < static_cast<int>(cells.size())) {
            const std::string &cell = cells[static_cast<std::size_t>(c)];
            FText.append(cell);
            end += cell.size();
        }
        FCellEnd.push_back(static_cast<std::uint16_t>(end));
    }
    FRowStart.push_back(rowStart);
    return RowCount() - 1;
}

void TReadingsTable::Reserve(int readingCount)
{
    if (readingCount <= 0)
        return;
    FRowStart.reserve(static_cast<std::size_t>(readingCount));
    FCellEnd.reserve(static_cast<std::size_t>(readingCount) * static_cast<std::size_t>(FColumnCount));
}
