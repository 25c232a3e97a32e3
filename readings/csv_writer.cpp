// SPDX-License-Identifier: Apache-2.0
#include "readings/csv_writer.h"

#include "platform/files/atomic_file.h"
#include "platform/text/code_page.h"
#include "readings/reading_columns.h"

namespace {

// Large enough that a million rows take a few dozen writes, small enough that
// the text and its converted copy stay modest.
constexpr std::size_t ChunkBytes = 1 << 20;

bool NeedsQuotes(std::string_view cell, std::string_view separator)
{
    // The usual one-byte separator: one pass over the cell, as every cell of a
    // large table goes through here.
    if (separator.size() == 1) {
        const char own = separator[0];
        for (const char c : cell)
            if (c == '"' || c == '\r' || c == '\n' || c == own)
                return true;
        return false;
    }
    if (cell.find_first_of("\"\r\n") != std::string_view::npos)
        return true;
    return !separator.empty() && cell.find(separator) != std::string_view::npos;
}

void AppendField(std::string &out, std::string_view cell, std::string_view separator)
{
    if (!NeedsQuotes(cell, separator)) {
        out.append(cell);
        return;
    }
    out.push_back('"');
    for (const char c : cell) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

// One line in UTF-8. The code page conversion works character by character, so
// converting many such lines at once gives the same bytes as one at a time.
void AppendLineUtf8(std::string &out, const TReadingsTable &table, int row, int fieldCount, std::string_view separator)
{
    for (int column = 0; column < fieldCount; ++column) {
        AppendField(out, table.Cell(column, row), separator);
        if (column < fieldCount - 1)
            out.append(separator);
    }
    out.append("\r\n");
}

} // namespace

std::string CsvListSeparator(const TRegionalSettings &settings)
{
    // One character is one leading byte of UTF-8; continuation bytes are 10xxxxxx.
    int characters = 0;
    for (const char c : settings.ListSeparator)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++characters;
    return characters == 1 ? settings.ListSeparator : std::string(",");
}

std::string CsvField(std::string_view cellUtf8, std::string_view separatorUtf8)
{
    std::string out;
    AppendField(out, cellUtf8, separatorUtf8);
    return out;
}

std::string CsvLine(const TReadingsTable &table, int row, int fieldCount, std::string_view separatorUtf8)
{
    std::string line;
    AppendLineUtf8(line, table, row, fieldCount, separatorUtf8);
    return Utf8ToAnsi(line);
}

void WriteCsv(const TReadingsTable &table, bool clbMode, const TRegionalSettings &settings,
              const std::function<void(std::string_view bytes)> &sink)
{
    const std::string separator = CsvListSeparator(settings);
    const int fieldCount = ColumnCountFor(clbMode);
    std::string chunk;
    chunk.reserve(ChunkBytes + 4096);
    const int rowCount = table.RowCount();
    for (int row = 0; row < rowCount; ++row) {
        AppendLineUtf8(chunk, table, row, fieldCount, separator);
        if (chunk.size() >= ChunkBytes || row == rowCount - 1) {
            sink(Utf8ToAnsi(chunk));
            chunk.clear();
        }
    }
}

void SaveCsv(const TReadingsTable &table, bool clbMode, const std::string &pathUtf8, const TRegionalSettings &settings)
{
    TAtomicFile file;
    file.Open(pathUtf8);
    WriteCsv(table, clbMode, settings, [&file](std::string_view bytes) { file.Write(bytes); });
    file.Commit();
}
