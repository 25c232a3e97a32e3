// SPDX-License-Identifier: Apache-2.0
// The readings table as a Qt model: row 0 the headers, then one row per reading.
// The texts stay in the table's one buffer and become QStrings only when a view
// asks for them.
#pragma once

#include "link/reading.h"
#include "platform/text/regional_settings.h"
#include "readings/readings_table.h"

#include <QAbstractTableModel>

class TReadingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // A table of the layout (14 columns with the raw values, else 10) holding the
    // header row only.
    explicit TReadingsModel(bool clbMode, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // What assistive technology reads as a column's or a row's header: the
    // column's text in the header row, or the row's number, without the
    // leading spaces that set the header texts off on the screen. The view
    // shows no header sections; the grid's own row 0 is what it shows.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Appends a reading as the next row, formatted by the given settings; returns
    // the row's index.
    int AddReading(const TReading &reading, const TRegionalSettings &settings);

    bool ClbMode() const { return FClbMode; }
    const TReadingsTable &Table() const { return FTable; }

private:
    bool FClbMode;
    TReadingsTable FTable;
};
