// SPDX-License-Identifier: Apache-2.0
#include "readings/qt/readings_model.h"

#include "readings/reading_columns.h"
#include "readings/reading_row.h"

#include <algorithm>

TReadingsModel::TReadingsModel(bool clbMode, QObject *parent)
    : QAbstractTableModel(parent), FClbMode(clbMode), FTable(ColumnCountFor(clbMode))
{
    SetUpReadingsTable(FTable, clbMode);
}

int TReadingsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FTable.RowCount();
}

int TReadingsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FTable.ColumnCount();
}

QVariant TReadingsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const std::string_view text = FTable.Cell(index.column(), index.row());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant TReadingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    const bool horizontal = orientation == Qt::Horizontal;
    if (section < 0 || section >= (horizontal ? FTable.ColumnCount() : FTable.RowCount()))
        return {};
    // A column is named by its text in the header row, a row by its text in
    // the number column ("No." for the header row itself).
    std::string_view text = horizontal ? FTable.Cell(section, 0) : FTable.Cell(rcNo, section);
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::ItemFlags TReadingsModel::flags(const QModelIndex &index) const
{
    // Cells can be selected, never edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

int TReadingsModel::AddReading(const TReading &reading, const TRegionalSettings &settings)
{
    const int row = FTable.RowCount();
    // Formatting may fail; it happens before the views hear of a new row.
    const std::vector<std::string> cells = ReadingRowCells(row, reading, FClbMode, settings);
    beginInsertRows(QModelIndex(), row, row);
    try {
        FTable.AppendRow(cells);
    } catch (...) {
        // Out of memory: the table is unchanged; the views have been told of a
        // row, so they are set straight by a reset before the error goes on.
        endInsertRows();
        beginResetModel();
        endResetModel();
        throw;
    }
    endInsertRows();
    return row;
}
