// SPDX-License-Identifier: Apache-2.0
#include "readings/qt/readings_model.h"
#include "readings/qt/readings_view.h"

#include "readings/reading_columns.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <vector>

namespace {

TReading SampleReading(double moisture)
{
    TReading r;
    std::memcpy(r.Range.data(), "AB1", 3);
    std::memcpy(r.Serial.data(), "123456", 6);
    std::memcpy(r.IR[3].data(), "1234567", 7);
    r.Moisture = moisture;
    r.Temperature = 21.3;
    TDateTimeParts p;
    p.Year = 2020, p.Month = 6, p.Day = 15, p.Hour = 23, p.Minute = 9, p.Second = 33;
    r.Timestamp = EncodeDateTime(p);
    return r;
}

QString CellText(const TReadingsModel &model, int column, int row)
{
    return model.data(model.index(row, column)).toString();
}

TEST(ReadingsModel, HeaderRowIsRowZeroOfEitherLayout)
{
    for (const bool clbMode : {false, true}) {
        SCOPED_TRACE(clbMode);
        TReadingsModel model(clbMode);
        EXPECT_EQ(1, model.rowCount());
        EXPECT_EQ(clbMode ? 14 : 10, model.columnCount());
        EXPECT_EQ("   No.", CellText(model, rcNo, 0));
        EXPECT_EQ(QString::fromUtf8("   Temp [\u00B0C]"), CellText(model, rcTemp, 0));
        EXPECT_EQ("   Date/Time", CellText(model, rcDateTime, 0));
        if (clbMode) {
            EXPECT_EQ("IR4", CellText(model, rcIR4, 0));
        }
    }
}

TEST(ReadingsModel, AddedReadingsFollowInOrderUnderTheModelTester)
{
    TReadingsModel model(true);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    int inserted = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex &, int first, int last) { inserted += last - first + 1; });
    TRegionalSettings settings;
    EXPECT_EQ(1, model.AddReading(SampleReading(14.5), settings));
    settings.DecimalSeparator = U',';
    EXPECT_EQ(2, model.AddReading(SampleReading(14.25), settings));
    EXPECT_EQ(2, inserted);
    EXPECT_EQ(3, model.rowCount());
    EXPECT_EQ(3, model.Table().RowCount());
    EXPECT_EQ("14.5", CellText(model, rcMoisture, 1));
    EXPECT_EQ("14,3", CellText(model, rcMoisture, 2));
    EXPECT_EQ("2", CellText(model, rcNo, 2));
    EXPECT_EQ("1234567", CellText(model, rcIR4, 2));
}

TEST(ReadingsModel, CellsCanBeSelectedButNotEdited)
{
    TReadingsModel model(false);
    model.AddReading(SampleReading(14.5), TRegionalSettings{});
    for (int row : {0, 1}) {
        const Qt::ItemFlags flags = model.flags(model.index(row, rcMoisture));
        EXPECT_TRUE(flags & Qt::ItemIsSelectable);
        EXPECT_FALSE(flags & Qt::ItemIsEditable);
        EXPECT_FALSE(model.setData(model.index(row, rcMoisture), "1.0"));
    }
}

class ReadingsViewTest : public testing::Test {
protected:
    void SetUpView(bool clbMode)
    {
        FModel = std::make_unique<TReadingsModel>(clbMode);
        FView = std::make_unique<QTableView>();
        FView->resize(300, 200);
        SetUpReadingsView(*FView, *FModel, TRegionalSettings{}, SampleReading(0).Timestamp);
    }

    std::unique_ptr<TReadingsModel> FModel;
    std::unique_ptr<QTableView> FView;
};

TEST_F(ReadingsViewTest, ColumnWidthsFollowTheHeaderTextsWithTwoXMargin)
{
    for (const bool clbMode : {false, true}) {
        SCOPED_TRACE(clbMode);
        SetUpView(clbMode);
        const QFontMetrics metrics(FView->font());
        const auto w = [&](const char *text) { return metrics.horizontalAdvance(QString(text)); };
        const int serial = w("   Ser. no.XX");
        EXPECT_EQ(w("   No.XX"), FrozenColumnOf(*FView)->width());
        EXPECT_EQ(w("   RangeXX"), FView->columnWidth(rcRange));
        EXPECT_EQ(w("   Moisture [%]XX"), FView->columnWidth(rcMoisture));
        for (int column : {rcTemp, rcProtein, rcOil, rcWater, rcStarch, rcSerNo})
            EXPECT_EQ(serial, FView->columnWidth(column)) << column;
        EXPECT_EQ(w("6/15/2020 11:09:33 PMXX"), FView->columnWidth(rcDateTime));
        for (int column = rcIR1; column < FModel->columnCount(); ++column)
            EXPECT_EQ(serial, FView->columnWidth(column)) << column;
    }
}

TEST_F(ReadingsViewTest, EveryRowIsSixteenPixelsAndNoHeaderSectionShows)
{
    SetUpView(false);
    for (int i = 0; i < 50; ++i)
        FModel->AddReading(SampleReading(i), TRegionalSettings{});
    for (int row : {0, 1, 25, 50})
        EXPECT_EQ(16, FView->rowHeight(row)) << row;
    EXPECT_TRUE(FView->horizontalHeader()->isHidden());
    EXPECT_EQ(FView->verticalHeader(), FrozenColumnOf(*FView)) << "beside the cells, only column 0";
    EXPECT_EQ(QAbstractItemView::NoEditTriggers, FView->editTriggers());
}

TEST_F(ReadingsViewTest, ColumnZeroStaysInViewWithTheNextColumnShownWholeBesideIt)
{
    SetUpView(true);
    for (int i = 0; i < 100; ++i)
        FModel->AddReading(SampleReading(i), TRegionalSettings{});
    FView->show();
    QHeaderView *frozen = FrozenColumnOf(*FView);
    ASSERT_NE(nullptr, frozen);
    const QRect viewport = FView->viewport()->geometry();
    EXPECT_EQ(frozen->geometry(), QRect(viewport.left() - frozen->width(), viewport.top(), frozen->width(),
                                        viewport.height()));

    // At every sideways position, the range's end included, the first column
    // shown starts right beside column 0, and none of it hides behind column 0.
    QScrollBar &sideways = *FView->horizontalScrollBar();
    ASSERT_GT(sideways.maximum(), 0);
    for (int value = sideways.minimum(); value <= sideways.maximum(); ++value) {
        SCOPED_TRACE(value);
        sideways.setValue(value);
        const int first = FView->columnAt(0);
        EXPECT_EQ(value + 1, first);
        EXPECT_EQ(0, FView->columnViewportPosition(first));
    }
    const int last = FModel->columnCount() - 1;
    EXPECT_LE(FView->columnViewportPosition(last) + FView->columnWidth(last), viewport.width())
        << "at the end of the range the last column shows whole";

    // Scrolling down moves the header row out of view, column 0 in step.
    FView->verticalScrollBar()->setValue(5 * ReadingsRowHeight);
    EXPECT_EQ(5, frozen->logicalIndexAt(0));
    EXPECT_EQ(5, FView->rowAt(0));
}

TEST_F(ReadingsViewTest, ColumnZeroIsPaintedAsTheGridPaintsItsCells)
{
    SetUpView(false);
    FModel->AddReading(SampleReading(14.5), TRegionalSettings{});
    FView->show();
    QHeaderView *frozen = FrozenColumnOf(*FView);
    ASSERT_NE(nullptr, frozen);
    // The same column drawn as an ordinary cell of a plain table, for reference.
    QTableView plain;
    plain.setFont(FView->font());
    plain.setPalette(FView->palette());
    plain.setModel(FModel.get());
    plain.setItemDelegate(FView->itemDelegate());
    plain.horizontalHeader()->hide();
    plain.verticalHeader()->hide();
    plain.verticalHeader()->setMinimumSectionSize(ReadingsRowHeight);
    plain.verticalHeader()->setDefaultSectionSize(ReadingsRowHeight);
    plain.setColumnWidth(rcNo, frozen->width());
    plain.setFrameShape(QFrame::NoFrame);
    plain.resize(frozen->width() + 40, 3 * ReadingsRowHeight);
    plain.show();
    const QImage expected = plain.viewport()->grab(QRect(0, 0, frozen->width(), 2 * ReadingsRowHeight)).toImage();
    const QImage shown = frozen->viewport()->grab(QRect(0, 0, frozen->width(), 2 * ReadingsRowHeight)).toImage();
    EXPECT_EQ(expected.convertToFormat(QImage::Format_RGB32), shown.convertToFormat(QImage::Format_RGB32));
}

TEST_F(ReadingsViewTest, LooksTheSameWhileDisabled)
{
    SetUpView(false);
    FModel->AddReading(SampleReading(14.5), TRegionalSettings{});
    FView->show();
    // Two rows and the empty area below them, column 0 included.
    QWidget *const parts[] = {FView->viewport(), FrozenColumnOf(*FView)->viewport()};
    std::vector<QImage> enabled;
    for (QWidget *part : parts)
        enabled.push_back(part->grab().toImage());
    FView->setEnabled(false);
    for (std::size_t i = 0; i < std::size(parts); ++i)
        EXPECT_TRUE(parts[i]->grab().toImage() == enabled[i]) << "part " << i << " changed its look";
}

TEST_F(ReadingsViewTest, AssistiveTechnologyReadsTheColumnNamesAsHeaders)
{
    SetUpView(true);
    FModel->AddReading(SampleReading(14.5), TRegionalSettings{});
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(FView.get());
    ASSERT_NE(nullptr, table);
    QAccessibleTableInterface *cells = table->tableInterface();
    ASSERT_NE(nullptr, cells);
    const char *const names[] = {"No.",          "Range",     "Moisture [%]", "Temp [\u00B0C]", "Protein [%]",
                                 "Oil [%]",      "Water [%]", "Starch [%]",   "Ser. no.",       "Date/Time",
                                 "IR1",          "IR2",       "IR3",          "IR4"};
    ASSERT_EQ(std::size(names), static_cast<std::size_t>(cells->columnCount()));
    for (int column = 0; column < cells->columnCount(); ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(QString::fromUtf8(names[column]), cells->columnDescription(column));
        QAccessibleInterface *cell = cells->cellAt(1, column);
        ASSERT_NE(nullptr, cell);
        const QList<QAccessibleInterface *> headers = cell->tableCellInterface()->columnHeaderCells();
        ASSERT_EQ(1, headers.size());
        EXPECT_EQ(QString::fromUtf8(names[column]), headers[0]->text(QAccessible::Name));
        // Made for the caller, who lets them go through the registry.
        for (QAccessibleInterface *header : headers)
            QAccessible::deleteAccessibleInterface(QAccessible::registerAccessibleInterface(header));
    }
    // Rows are named by their number; the grid's own header row by its heading.
    EXPECT_EQ("No.", cells->rowDescription(0));
    EXPECT_EQ("1", cells->rowDescription(1));
    // The grid still shows the headers as they are, in row 0.
    EXPECT_EQ("   No.", CellText(*FModel, rcNo, 0));
}

// The bounding box of the pixels that are not the background.
QRect InkBox(const QImage &image, QRgb background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(ReadingsCellPainter, TextEndsThreePixelsLeftOfTheRightEdgeWithItsTopTwoBelowTheTop)
{
    const QRgb white = qRgb(255, 255, 255);
    QFont font;
    font.setPixelSize(11);
    for (const QString &text : {QString("88.8"), QString("   Moisture [%]"), QString("1")}) {
        SCOPED_TRACE(text.toStdString());
        // Where the ink of the text lies in its own line box, drawn at (0, 0).
        QImage reference(200, 40, QImage::Format_RGB32);
        reference.fill(white);
        QRect line;
        {
            QPainter painter(&reference);
            painter.setFont(font);
            painter.setPen(Qt::black);
            line = QRect(0, 0, painter.fontMetrics().horizontalAdvance(text), painter.fontMetrics().height());
            painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, text);
        }
        const QRect inkInLine = InkBox(reference, white);

        QImage image(300, 60, QImage::Format_RGB32);
        image.fill(qRgb(255, 0, 0));
        const QRect cell(20, 10, 150, 16);
        {
            QPainter painter(&image);
            painter.setFont(font);
            TReadingsCellPainter::StringGrid1DrawCell(painter, cell, text, QBrush(Qt::white), QPen(Qt::black));
        }
        const QImage cellImage = image.copy(cell);
        const QRect ink = InkBox(cellImage, white).translated(cell.topLeft());
        // The text's line box ends at right - 3 (the right edge lying after the
        // last pixel) and starts at top + 2.
        const int lineLeft = cell.left() + cell.width() - 3 - line.width();
        EXPECT_NEAR(lineLeft + inkInLine.left(), ink.left(), 1);
        EXPECT_NEAR(lineLeft + inkInLine.right(), ink.right(), 1);
        EXPECT_NEAR(cell.top() + 2 + inkInLine.top(), ink.top(), 1);
        // The whole cell is filled, nothing outside it is touched.
        EXPECT_EQ(white, image.pixel(cell.topLeft()));
        EXPECT_EQ(white, image.pixel(cell.bottomRight()));
        EXPECT_EQ(qRgb(255, 0, 0), image.pixel(cell.left() - 1, cell.top()));
        EXPECT_EQ(qRgb(255, 0, 0), image.pixel(cell.right() + 1, cell.bottom()));
    }
}

TEST(ReadingsCellPainter, TextWiderThanTheCellIsClippedToIt)
{
    QImage image(200, 60, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    const QRect cell(60, 10, 30, 16);
    {
        QPainter painter(&image);
        TReadingsCellPainter::StringGrid1DrawCell(painter, cell, "WWWWWWWWWWWWWWWWWWWW", QBrush(Qt::white),
                                                  QPen(Qt::black));
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!cell.contains(x, y)) {
                ASSERT_EQ(qRgb(255, 0, 0), image.pixel(x, y)) << x << "," << y;
            }
}

TEST_F(ReadingsViewTest, SelectedCellsLookLikeAllOthers)
{
    SetUpView(false);
    FModel->AddReading(SampleReading(14.5), TRegionalSettings{});
    QPalette palette = FView->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, Qt::blue);
    FView->setPalette(palette);
    FView->show();
    const QImage before = FView->viewport()->grab().toImage();
    FView->selectAll();
    FView->setCurrentIndex(FModel->index(1, rcRange));
    const QImage after = FView->viewport()->grab().toImage();
    EXPECT_EQ(before, after);
    // A point inside the empty left part of a cell shows the background.
    const QRect cell = FView->visualRect(FModel->index(1, rcRange));
    EXPECT_EQ(qRgb(255, 255, 255), after.pixel(cell.left() + 2, cell.center().y()));
}

} // namespace
