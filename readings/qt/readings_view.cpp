#include "readings/qt/readings_view.h"

#include "readings/reading_columns.h"
#include "readings/reading_row.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

namespace {

const char *const kFrozenColumnName = "readingsFrozenColumn";

void ShapeRows(QTableView &view)
{
    QHeaderView &rows = *view.verticalHeader();
    rows.setMinimumSectionSize(ReadingsRowHeight);
    rows.setDefaultSectionSize(ReadingsRowHeight);
    rows.setSectionResizeMode(QHeaderView::Fixed);
    rows.hide();
    view.horizontalHeader()->hide();
}

// Keeps column 0 in view: a second view over the same model, showing column 0
// only, laid over the left of the first one and scrolled with it vertically.
class TFrozenColumn : public QObject {
public:
    TFrozenColumn(QTableView &view, TReadingsModel &model) : QObject(&view), FView(view)
    {
        FFrozen = new QTableView(&view);
        FFrozen->setObjectName(kFrozenColumnName);
        FFrozen->setModel(&model);
        FFrozen->setSelectionModel(view.selectionModel());
        FFrozen->setItemDelegate(view.itemDelegate());
        FFrozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
        FFrozen->setFocusPolicy(Qt::NoFocus);
        FFrozen->setFrameShape(QFrame::NoFrame);
        FFrozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FFrozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FFrozen->setVerticalScrollMode(view.verticalScrollMode());
        FFrozen->setShowGrid(view.showGrid());
        ShapeRows(*FFrozen);
        // A header's default minimum is the font's widest character and more:
        // with a wide-charactered font it would make this column wider than
        // the table's own and push the right-aligned numbers out of sight.
        FFrozen->horizontalHeader()->setMinimumSectionSize(0);
        for (int column = 1; column < model.columnCount(); ++column)
            FFrozen->setColumnHidden(column, true);
        FFrozen->setColumnWidth(0, view.columnWidth(0));
        view.viewport()->stackUnder(FFrozen);

        connect(FFrozen->verticalScrollBar(), &QAbstractSlider::valueChanged,
                view.verticalScrollBar(), &QAbstractSlider::setValue);
        connect(view.verticalScrollBar(), &QAbstractSlider::valueChanged,
                FFrozen->verticalScrollBar(), &QAbstractSlider::setValue);
        connect(view.horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int section, int, int size) {
                    if (section == 0) {
                        FFrozen->setColumnWidth(0, size);
                        UpdateGeometry();
                    }
                });
        view.installEventFilter(this);
        FFrozen->show();
        UpdateGeometry();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &FView && (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                                  event->type() == QEvent::LayoutRequest))
            UpdateGeometry();
        return QObject::eventFilter(watched, event);
    }

private:
    void UpdateGeometry()
    {
        const QRect viewport = FView.viewport()->geometry();
        // One pixel more than the column, so the grid line after it shows.
        const int width = FView.columnWidth(0) + (FView.showGrid() ? 1 : 0);
        FFrozen->setGeometry(viewport.left(), viewport.top(), width, viewport.height());
    }

    QTableView &FView;
    QTableView *FFrozen;
};

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
    std::vector<int> widths(static_cast<std::size_t>(ColumnCountFor(clbMode)));
    widths[rcNo] = widthOf("   No.");
    widths[rcRange] = widthOf("   Range");
    widths[rcMoisture] = widthOf("   Moisture [%]");
    widths[rcSerNo] = widthOf("   Ser. no.");
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
    view.setModel(&model);
    view.setItemDelegate(new TReadingsCellPainter(&view));
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectItems);
    view.setWordWrap(false);
    view.setShowGrid(true);
    // Scroll by pixels, so the overlaid column and the table stay in step.
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    ShapeRows(view);
    view.horizontalHeader()->setMinimumSectionSize(0);

    const QString dateTimeText = QString::fromStdString(FormatDateTimeCell(now, settings));
    const std::vector<int> widths = ReadingColumnWidths(QFontMetrics(view.font()), model.ClbMode(), dateTimeText);
    for (std::size_t column = 0; column < widths.size(); ++column)
        view.setColumnWidth(static_cast<int>(column), widths[column]);

    if (FrozenColumnOf(view) == nullptr)
        new TFrozenColumn(view, model);
}

QTableView *FrozenColumnOf(const QTableView &view)
{
    return view.findChild<QTableView *>(kFrozenColumnName, Qt::FindDirectChildrenOnly);
}
