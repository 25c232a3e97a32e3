// SPDX-License-Identifier: Apache-2.0
// The readings table on screen: a QTableView over TReadingsModel with the grid's
// look. Row 0 (the headers) is an ordinary row; column 0 stays in view when the
// table scrolls sideways; every cell is painted by the cell painter, and the
// table looks the same while its window is disabled.
#pragma once

#include "platform/text/date_time.h"
#include "platform/text/regional_settings.h"
#include "readings/qt/readings_model.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

#include <vector>

inline constexpr int ReadingsRowHeight = 16;

// Paints every cell alike: the background over the whole cell, then the text in
// one line, ending 3 pixels left of the cell's right edge, its top 2 pixels
// below the cell's top, clipped to the cell. No selected or focused look.
class TReadingsCellPainter : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

    // The painting of one cell; cell is the rectangle the view gives the cell.
    static void StringGrid1DrawCell(QPainter &painter, const QRect &cell, const QString &text,
                                    const QBrush &background, const QPen &textPen);
};

// The column widths: W(t) of the headers of the number, range, moisture and
// serial columns followed by "XX"; the other value and the raw value columns
// as wide as the serial column; the date column as wide as dateTimeText
// followed by "XX".
std::vector<int> ReadingColumnWidths(const QFontMetrics &metrics, bool clbMode,
                                     const QString &dateTimeText);

// Sets the view up over the model: widths measured with the view's font (set it
// before), 16-pixel rows, no header sections, no editing, the cell painter, Tab
// for leaving the table, and column 0 kept in view by the frozen column. The
// date column's width comes from the date and time now in the current regional
// settings.
void SetUpReadingsView(QTableView &view, TReadingsModel &model);
void SetUpReadingsView(QTableView &view, TReadingsModel &model, const TRegionalSettings &settings,
                       TDateTime now);

// The frozen column that shows column 0 at the left of the view, beside its
// other columns (the view's row header, as wide as column 0), or null.
QHeaderView *FrozenColumnOf(const QTableView &view);
