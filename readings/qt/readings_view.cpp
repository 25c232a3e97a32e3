// SPDX-License-Identifier: Apache-2.0
#include "readings/qt/readings_view.h"

#include "readings/reading_columns.h"
#include "readings/reading_row.h"

#include <QHeaderView>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace {

const char *const kFrozenColumnName = "readingsFrozenColumn";

void ShapeRows(QHeaderView &rows)
{
    rows.setMinimumSectionSize(ReadingsRowHeight);
    rows.setDefaultSectionSize(ReadingsRowHeight);
    rows.setSectionResizeMode(QHeaderView::Fixed);
}

// The colours the table is drawn with, for the disabled state too: while its
// window is disabled (a stop pending, the program ending) the table looks as
// it did, instead of flashing grey below the rows and in its grid lines.
void KeepColoursWhenDisabled(QTableView &view)
{
    QPalette palette = view.palette();
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Text, QPalette::Window, QPalette::Mid})
        palette.setBrush(QPalette::Disabled, role, palette.brush(QPalette::Active, role));
    view.setPalette(palette);
}

// Column 0 kept in view: the table's row header, which the view places beside
// its cells and scrolls with the rows, paints the number column's cells as the
// grid paints its own; the view's own column 0 is hidden. The other columns
// scroll sideways by whole columns in the space to the right of it, so the
// first of them always starts right after column 0 and no part of a column
// scrolled away shows beside it.
class TFrozenColumn : public QHeaderView {
public:
    explicit TFrozenColumn(QTableView &view) : QHeaderView(Qt::Vertical, &view), FView(view)
    {
        setObjectName(kFrozenColumnName);
        setSectionsClickable(false);
        setHighlightSections(false);
        setFocusPolicy(Qt::NoFocus);
        ShapeRows(*this);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(viewport());
        // The view's font and colours, as its viewport paints the other cells.
        painter.setFont(FView.font());
        QStyleOptionViewItem option;
        option.initFrom(&FView);
        painter.fillRect(event->rect(), option.palette.brush(QPalette::Active, QPalette::Base));
        const QColor grid =
            QColor::fromRgba(static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, &FView)));
        const int first = std::max(visualIndexAt(event->rect().top()), 0);
        int last = visualIndexAt(event->rect().bottom());
        if (last < 0)
            last = count() - 1;
        const int right = viewport()->width() - 1;
        for (int row = first; row <= last; ++row) {
            const int top = sectionViewportPosition(row);
            const int bottom = top + sectionSize(row) - 1;
            // The cell, then the grid lines on its right and lower edges, drawn
            // as the view draws its own (on the pixels' centres, which keeps
            // them in line with the view's at any scale).
            option.rect = QRect(0, top, right, bottom - top);
            FView.itemDelegate()->paint(&painter, option, model()->index(row, rcNo));
            painter.setPen(grid);
            painter.drawLine(QLineF(right, top, right, bottom).translated(0.5, 0.5));
            painter.drawLine(QLineF(0, bottom, right, bottom).translated(0.5, 0.5));
        }
    }

private:
    QTableView &FView;
};

// At the end of its range the view would line the last column up with its
// right edge, leaving part of a column beside column 0; there too the first
// column shown starts right after column 0. Connected after the view's own
// handling of its scroll bar, so this comes last.
void KeepColumnsBesideFrozenColumn(QTableView &view)
{
    QObject::connect(view.horizontalScrollBar(), &QScrollBar::valueChanged, &view, [&view](int value) {
        QHeaderView &columns = *view.horizontalHeader();
        const int offset = columns.offset();
        columns.setOffsetToSectionPosition(value);
        if (columns.offset() != offset)
            view.viewport()->update();
    });
}

} // namespace

void TReadingsCellPainter::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    // The drawing state (selected, focused, hovered) is not looked at.
    StringGrid1DrawCell(*painter, option.rect, index.data(Qt::DisplayRole).toString(),
                        option.palette.brush(QPalette::Active, QPalette::Base),
                        QPen(option.palette.color(QPalette::Active, QPalette::Text)));
}

QWidget *TReadingsCellPainter::createEditor(QWidget *, const QStyleOptionViewItem &, const QModelIndex &) const
{
    return nullptr;
}

void TReadingsCellPainter::StringGrid1DrawCell(QPainter &painter, const QRect &cell, const QString &text,
                                               const QBrush &background, const QPen &textPen)
{
    painter.save();
    painter.setClipRect(cell);
    painter.fillRect(cell, background);
    painter.setPen(textPen);
    // The cell's right edge lies after its last pixel; the text ends 3 pixels
    // before it and starts 2 pixels below the top.
    const int right = cell.left() + cell.width() - 3;
    const int top = cell.top() + 2;
    const int width = painter.fontMetrics().horizontalAdvance(text);
    const QRect textBox(right - width, top, width, painter.fontMetrics().height());
    painter.drawText(textBox, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
}

std::vector<int> ReadingColumnWidths(const QFontMetrics &metrics, bool clbMode, const QString &dateTimeText)
{
    const auto widthOf = [&metrics](const QString &text) { return metrics.horizontalAdvance(text + "XX"); };
    const auto headerWidth = [&widthOf](int column) {
        return widthOf(QString::fromStdString(ReadingColumnHeader(column)));
    };
    std::vector<int> widths(static_cast<std::size_t>(ColumnCountFor(clbMode)));
    for (int column : {rcNo, rcRange, rcMoisture, rcSerNo})
        widths[static_cast<std::size_t>(column)] = headerWidth(column);
    for (int column : {rcTemp, rcProtein, rcOil, rcWater, rcStarch})
        widths[static_cast<std::size_t>(column)] = widths[rcSerNo];
    widths[rcDateTime] = widthOf(dateTimeText);
    if (clbMode)
        for (int column : {rcIR1, rcIR2, rcIR3, rcIR4})
            widths[static_cast<std::size_t>(column)] = widths[rcSerNo];
    return widths;
}

void SetUpReadingsView(QTableView &view, TReadingsModel &model)
{
    SetUpReadingsView(view, model, CurrentRegionalSettings(), NowLocal());
}

void SetUpReadingsView(QTableView &view, TReadingsModel &model, const TRegionalSettings &settings,
                       TDateTime now)
{
    QHeaderView *frozen = FrozenColumnOf(view);
    if (frozen == nullptr) {
        frozen = new TFrozenColumn(view);
        view.setVerticalHeader(frozen);
        KeepColumnsBesideFrozenColumn(view);
    }
    view.setModel(&model);
    view.setItemDelegate(new TReadingsCellPainter(&view));
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectItems);
    // Tab goes on to the window's buttons; the arrow keys move between cells.
    view.setTabKeyNavigation(false);
    view.setWordWrap(false);
    view.setShowGrid(true);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Whole columns, so that the first one shown starts right after column 0.
    view.setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    view.horizontalHeader()->hide();
    view.horizontalHeader()->setMinimumSectionSize(0);
    KeepColoursWhenDisabled(view);

    const QString dateTimeText = QString::fromStdString(FormatDateTimeCell(now, settings));
    const std::vector<int> widths = ReadingColumnWidths(QFontMetrics(view.font()), model.ClbMode(), dateTimeText);
    for (std::size_t column = 1; column < widths.size(); ++column)
        view.setColumnWidth(static_cast<int>(column), widths[column]);
    view.setColumnHidden(rcNo, true);
    frozen->setFixedWidth(widths[rcNo]);
}

QHeaderView *FrozenColumnOf(const QTableView &view)
{
    QHeaderView *rows = view.verticalHeader();
    return rows->objectName() == QLatin1String(kFrozenColumnName) ? rows : nullptr;
}
