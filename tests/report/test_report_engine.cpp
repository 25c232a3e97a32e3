// SPDX-License-Identifier: Apache-2.0
// The banded report engine: layout of bands and pages, expressions, the stamp box,
// the two passes, the record-source protocol, drawing and printing.
#include "report/banded_report.h"
#include "report/report_renderer.h"
#include "tests/report/report_probe.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// A record source over a vector of rows, logging every call.
struct TVectorSource {
    std::vector<std::string> Rows;
    std::vector<std::string> Log;
    int Row = 0;
    int Pass = 0;
    TReportDataSet DataSet;

    TVectorSource()
    {
        DataSet.UserName = "src";
        DataSet.Fields = {"v", "pass"};
        DataSet.OnFirst = [this] { Log.push_back("First"); Row = 0; ++Pass; };
        DataSet.OnNext = [this] { Log.push_back("Next"); ++Row; };
        DataSet.OnPrior = [this] { Log.push_back("Prior"); --Row; };
        DataSet.OnCheckEOF = [this](bool &eof) { Log.push_back("EOF"); eof = Row >= static_cast<int>(Rows.size()); };
        DataSet.OnGetValue = [this](const std::string &field, TReportValue &value) {
            Log.push_back("Get " + field);
            value = field == "pass" ? std::to_string(Pass) : Rows.at(static_cast<std::size_t>(Row));
        };
        DataSet.OnNewGetValue = [this](const std::string &field, TReportValue &value) {
            Log.push_back("NewGet " + field + "=" + value);
        };
    }
};

TTextObject Text(std::string name, TReportBox box, std::string text)
{
    TTextObject object;
    object.Name = std::move(name);
    object.Box = box;
    object.Text = std::move(text);
    return object;
}

std::vector<std::string> Numbered(int count)
{
    std::vector<std::string> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back(std::to_string(i));
    return rows;
}

// A report over a vector source, on a page like the readings report's: title
// 16 mm with a stamp, headings 12 mm, rows of 5 mm; 277 mm of printable height.
// A fixed clock and settings, text 2 mm wide per character, no hook.
struct TReportRig {
    explicit TReportRig(std::vector<std::string> rows = {})
    {
        Source.Rows = std::move(rows);
        Report.ReportName = "Test report";
        Report.DataSets = {&Source.DataSet};
        Report.ProcessMessages = nullptr;
        Report.Clock = [] { return TDateTimeParts{2024, 3, 5, 14, 7, 9, 0}; };
        Report.Settings = [] { return TRegionalSettings{}; };
        Report.MeasureTextMm = [](const TReportFont &, const std::string &text) { return 2.0 * text.size(); };
        TTextObject stamp = Text("Stamp", {145, 0, 45, 5}, "[DATE] [TIME]");
        stamp.AutoWidth = true;
        Report.Page.Objects = {Text("Logo", {0, 0, 40, 11}, "LOGO"), stamp};
        Report.Page.Bands = {
            TReportBand{"Title", TBandKind::ReportTitle, 16, {}, nullptr},
            TReportBand{"Header", TBandKind::ColumnHeader, 12, {Text("Head", {0, 0, 20, 5}, "Value")}, nullptr},
            TReportBand{"Data", TBandKind::MasterData, 5,
                        {Text("Cell", {0, 0, 20, 5}, "[src.\"v\"]"), TLineObject{"Rule", {0, 5, 190, 0}}},
                        &Source.DataSet},
        };
    }
    TReportRig(const TReportRig &) = delete;
    TReportRig &operator=(const TReportRig &) = delete;

    TReportBand &DataBand() { return Report.Page.Bands[2]; }
    // The data band's text, "Cell".
    TTextObject &Cell() { return std::get<TTextObject>(DataBand().Objects[0]); }

    // Prepares the report anew.
    const std::vector<TPreparedPage> &Prepare()
    {
        Report.PrepareReport(true);
        return Report.PreparedPages();
    }

    TVectorSource Source;
    TBandedReport Report;
};

TEST(ReportEngine, DataRowsFillPagesAndMoveToTheNextPageUnderItsHeadings)
{
    struct Case {
        int Records;
        std::vector<int> RowsPerPage;
    };
    // 249 mm under the first page's title and headings hold 49 rows; 265 mm under
    // the headings of a further page hold 53.
    const Case cases[] = {
        {0, {0}}, {1, {1}}, {49, {49}}, {50, {49, 1}}, {102, {49, 53}}, {103, {49, 53, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Records);
        TReportRig rig(Numbered(c.Records));
        ASSERT_TRUE(rig.Report.PrepareReport(true));
        const auto &pages = rig.Report.PreparedPages();
        ASSERT_EQ(pages.size(), c.RowsPerPage.size());
        int number = 1;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            const auto cells = TextsNamed(pages[p], "Cell");
            ASSERT_EQ(static_cast<int>(cells.size()), c.RowsPerPage[p]) << "page " << p;
            const double firstTop = p == 0 ? 28 : 12;
            for (std::size_t r = 0; r < cells.size(); ++r) {
                EXPECT_DOUBLE_EQ(cells[r]->Box.Top, firstTop + 5.0 * static_cast<double>(r));
                EXPECT_LE(cells[r]->Box.Bottom(), 277 + 1e-9);
                EXPECT_EQ(cells[r]->Text, std::to_string(number++));
            }
            const auto headings = TextsNamed(pages[p], "Head");
            ASSERT_EQ(headings.size(), 1u);
            EXPECT_DOUBLE_EQ(headings[0]->Box.Top, p == 0 ? 16 : 0);
            EXPECT_EQ(TextsNamed(pages[p], "Logo").size(), p == 0 ? 1u : 0u);
            EXPECT_EQ(TextsNamed(pages[p], "Stamp").size(), p == 0 ? 1u : 0u);
        }
    }
}

TEST(ReportEngine, RowTallerThanAnyPageIsPlacedOnItsOwnPageInsteadOfLoopingForever)
{
    TReportRig rig(Numbered(3));
    rig.DataBand().Height = 300;
    const auto &pages = rig.Prepare();
    ASSERT_EQ(pages.size(), 3u);
    for (const TPreparedPage &page : pages)
        EXPECT_EQ(TextsNamed(page, "Cell").size(), 1u);
}

TEST(ReportEngine, RowThatFitsOnlyUnderFurtherHeadingsLeavesTheFirstPageEmpty)
{
    TReportRig rig(Numbered(1));
    rig.DataBand().Height = 260;  // more than 249 mm, less than 265 mm
    const auto &pages = rig.Prepare();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(TextsNamed(pages[0], "Cell").empty());
    ASSERT_EQ(TextsNamed(pages[1], "Cell").size(), 1u);
    EXPECT_DOUBLE_EQ(TextsNamed(pages[1], "Cell")[0]->Box.Top, 12);
}

TEST(ReportEngine, ExpressionsResolveOrStayLiteral)
{
    struct Case {
        std::string Text;
        bool Expressions;
        std::string Expected;
    };
    const Case cases[] = {
        {"[DATE] [TIME]", true, "3/5/2024 2:07:09 PM"},
        {"[ DATE ]/[TIME]", true, "3/5/2024/2:07:09 PM"},
        {"v=[src.\"v\"]!", true, "v=first!"},
        {"Moisture\n[%]", false, "Moisture\n[%]"},
        {"[src.\"v\"]", false, "[src.\"v\"]"},
        {"open [ bracket", true, "open [ bracket"},
        {"", true, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Text);
        TReportRig rig({"first"});
        rig.Cell().Text = c.Text;
        rig.Cell().AllowExpressions = c.Expressions;
        const auto cells = TextsNamed(rig.Prepare()[0], "Cell");
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ(cells[0]->Text, c.Expected);
    }
}

TEST(ReportEngine, UnknownExpressionSourceOrFieldIsAnErrorNamingTheObject)
{
    for (const std::string text : {"[%]", "[other.\"v\"]", "[src.\"missing\"]", "[src.v]"}) {
        SCOPED_TRACE(text);
        TReportRig rig({"first"});
        rig.Cell().Text = text;
        try {
            rig.Report.PrepareReport(true);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error &error) {
            EXPECT_NE(std::string(error.what()).find("Cell"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << error.what();
        }
    }
}

TEST(ReportEngine, StampBoxKeepsItsRightEdgeWhileItsWidthFollowsItsText)
{
    struct Case {
        std::string ShortDate;
        std::string LongTime;
        std::string Expected;
    };
    const Case cases[] = {
        {"M/d/yyyy", "h:mm:ss tt", "3/5/2024 2:07:09 PM"},
        {"dd.MM.yyyy", "HH:mm:ss", "05.03.2024 14:07:09"},
        {"yyyy-MM-dd", "H:mm", "2024-03-05 14:07"},
        {"dddd, MMMM d, yyyy", "HH:mm:ss", "Tuesday, March 5, 2024 14:07:09"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Expected);
        TReportRig rig;
        rig.Report.Settings = [&c] { return TRegionalSettings{.ShortDateFormat = c.ShortDate, .LongTimeFormat = c.LongTime}; };
        const auto stamps = TextsNamed(rig.Prepare()[0], "Stamp");
        ASSERT_EQ(stamps.size(), 1u);
        EXPECT_EQ(stamps[0]->Text, c.Expected);
        EXPECT_NEAR(stamps[0]->Box.Right(), 190, 1e-9);
        EXPECT_NEAR(stamps[0]->Box.Width, 2.0 * c.Expected.size() + 2 * TextGapMm, 1e-9);
        EXPECT_FALSE(stamps[0]->WordWrap);
    }
}

TEST(ReportEngine, AFitWidthTextStaysOnOneLineAndIsCondensedOnlyWhenTooWide)
{
    // 2 mm per character; the cell's box is 20 mm, 19 mm inside its gaps.
    const struct {
        std::string Text;
        double Condense;
    } cases[] = {
        {"12345", 1},
        {"123456789", 1},  // 18 mm: fits
        {"1234567890123", 19.0 / 26},
        {"6/15/2020 11:09:33 PM", 19.0 / 42},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        TReportRig rig({c.Text});
        rig.Cell().FitWidth = true;
        const auto cells = TextsNamed(rig.Prepare()[0], "Cell");
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ(cells[0]->Text, c.Text);
        EXPECT_FALSE(cells[0]->WordWrap);
        EXPECT_NEAR(cells[0]->Condense, c.Condense, 1e-9);
        EXPECT_EQ(cells[0]->Box, (TReportBox{0, 28, 20, 5})) << "the box stays as drawn";
    }
}

TEST(ReportEngine, TwoPassesWalkTheSourceTwiceAndKeepTheSecond)
{
    for (const bool twoPasses : {false, true}) {
        SCOPED_TRACE(twoPasses);
        TReportRig rig(Numbered(60));
        rig.Report.TwoPasses = twoPasses;
        rig.Cell().Text = "[src.\"pass\"]";
        const auto &pages = rig.Prepare();
        const int passes = twoPasses ? 2 : 1;
        EXPECT_EQ(rig.Source.Pass, passes);
        ASSERT_EQ(pages.size(), 2u);  // the first pass's pages are gone
        for (const TPreparedPage &page : pages)
            for (const TPreparedText *cell : TextsNamed(page, "Cell"))
                EXPECT_EQ(cell->Text, std::to_string(passes));
    }
}

TEST(ReportEngine, PreparationClearsOrAppendsToTheLastReport)
{
    TReportRig rig(Numbered(50));
    rig.Report.PrepareReport(true);
    EXPECT_EQ(rig.Prepare().size(), 2u);
    rig.Report.PrepareReport(false);
    EXPECT_EQ(rig.Report.PreparedPages().size(), 4u);
}

TEST(ReportEngine, RecordSourceIsWalkedFirstThenEndTestThenValuesThenNext)
{
    TReportRig rig({"a", "b"});
    std::vector<std::string> &log = rig.Source.Log;
    rig.Report.ProcessMessages = [&log] { log.push_back("hook"); };
    rig.Prepare();
    const std::vector<std::string> expected = {
        "hook",  // the first page
        "hook", "First",
        "EOF", "Get v", "NewGet v=a", "Next",
        "EOF", "Get v", "NewGet v=b", "Next",
        "EOF",
    };
    EXPECT_EQ(log, expected);
}

TEST(ReportEngine, HookRunsAtEveryNewPageSoRowsArrivingMeanwhileArePrinted)
{
    TReportRig rig(Numbered(49));  // exactly the first page
    int calls = 0;
    rig.Report.ProcessMessages = [&] {
        ++calls;
        if (calls == 2)  // the start of the walk: one more row arrives
            rig.Source.Rows.push_back("50");
        if (calls == 3)  // the second page: and another
            rig.Source.Rows.push_back("51");
    };
    const auto &pages = rig.Prepare();
    ASSERT_EQ(pages.size(), 2u);
    const auto cells = TextsNamed(pages[1], "Cell");
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[1]->Text, "51");
    EXPECT_EQ(calls, 3);
}

TEST(ReportEngine, DataBandWithoutRecordSourceIsAnError)
{
    TReportRig rig;
    rig.DataBand().DataSet = nullptr;
    EXPECT_THROW(rig.Report.PrepareReport(true), std::runtime_error);
}

// Drawing at 10 pixels per millimetre onto a white image; the paper's corner is
// the image's corner and the margins are zero, so boxes are image coordinates.
QImage Draw(const TPreparedPage &page)
{
    QImage image(400, 200, QImage::Format_RGB32);
    image.setDotsPerMeterX(10000);
    image.setDotsPerMeterY(10000);
    image.fill(Qt::white);
    QPainter painter(&image);
    RenderPreparedPage(painter, page, 10, 10);
    return image;
}

// Whether any pixel inside the rectangle (image pixels) is dark.
bool Inked(const QImage &image, QRect area)
{
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

TEST(ReportRenderer, TextIsClippedAtItsBoxAndWrapsAtWordBreaks)
{
    TPreparedPage page;
    page.MarginLeft = page.MarginTop = 0;
    TPreparedText text;
    text.Font = TReportFont{"Arial", 10, false};
    struct Case {
        std::string Text;
        TReportBox Box;
        bool WordWrap;
        QRect InkedArea;  // must hold ink
    };
    const Case cases[] = {
        // One long word: clipped at the right edge and the bottom.
        {"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", {5, 5, 20, 5}, true, QRect(50, 50, 200, 50)},
        // Two lines, the second cut at the box's bottom edge.
        {"WWWW WWWW WWWW", {5, 5, 20, 6}, true, QRect(50, 95, 200, 15)},
        // No wrap: one line, cut at the right edge.
        {"WWWW WWWW WWWW", {5, 5, 20, 10}, false, QRect(150, 50, 100, 50)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Text);
        text.Text = c.Text;
        text.Box = c.Box;
        text.WordWrap = c.WordWrap;
        page.Objects = {text};
        const QImage image = Draw(page);
        const QRect box(50, 50, static_cast<int>(c.Box.Width * 10), static_cast<int>(c.Box.Height * 10));
        EXPECT_TRUE(Inked(image, c.InkedArea.intersected(box)));
        // Nothing outside the box, one pixel of anti-aliasing allowed.
        const QRect outside = box.adjusted(-1, -1, 1, 1);
        EXPECT_FALSE(Inked(image, QRect(0, 0, 400, outside.top())));
        EXPECT_FALSE(Inked(image, QRect(0, outside.bottom() + 1, 400, 200)));
        EXPECT_FALSE(Inked(image, QRect(outside.right() + 1, 0, 400, 200)));
    }
}

TEST(ReportRenderer, ACondensedTextFillsItsBoxOnOneLineAtEitherAlignment)
{
    const std::string wide = "6/15/2020 11:09:33 PM";
    const TReportFont font{"Arial", 10, false};
    for (const TTextAlign align : {TTextAlign::Left, TTextAlign::Right}) {
        TPreparedPage page;
        page.MarginLeft = page.MarginTop = 0;
        TPreparedText text;
        text.Text = wide;
        text.Font = font;
        text.Box = {2, 2, 20, 5};
        text.Align = align;
        text.WordWrap = false;
        text.Condense = (text.Box.Width - 2 * TextGapMm) / MeasureTextMm(font, wide);
        ASSERT_LT(text.Condense, 1);
        page.Objects = {text};
        const QImage image = Draw(page);
        // Ink from the box's left end to its right end: the whole line is
        // there, its first and its last characters included.
        EXPECT_TRUE(Inked(image, QRect(25, 20, 20, 50)));
        EXPECT_TRUE(Inked(image, QRect(195, 20, 20, 50)));
        EXPECT_FALSE(Inked(image, QRect(0, 0, 18, 200)));
        EXPECT_FALSE(Inked(image, QRect(222, 0, 178, 200)));
    }
}

TEST(ReportRenderer, HorizontalAlignmentPlacesTheTextInsideTheBox)
{
    struct Case {
        TTextAlign Align;
        bool LeftHalfInked;
        bool RightHalfInked;
    };
    for (const Case &c : {Case{TTextAlign::Left, true, false}, Case{TTextAlign::Right, false, true}}) {
        TPreparedPage page;
        page.MarginLeft = page.MarginTop = 0;
        TPreparedText text;
        text.Text = "1.0";
        text.Box = {0, 0, 30, 5};
        text.Align = c.Align;
        page.Objects = {text};
        const QImage image = Draw(page);
        EXPECT_EQ(Inked(image, QRect(0, 0, 150, 50)), c.LeftHalfInked);
        EXPECT_EQ(Inked(image, QRect(150, 0, 150, 50)), c.RightHalfInked);
    }
}

TEST(ReportRenderer, LineIsDrawnAcrossItsBoxAndMarginsShiftThePage)
{
    TPreparedPage page;
    page.MarginLeft = 2;
    page.MarginTop = 3;
    page.Objects = {TPreparedLine{"Rule", {0, 5, 30, 0}}};
    const QImage image = Draw(page);
    EXPECT_TRUE(Inked(image, QRect(25, 79, 290, 3)));   // from x 20 to 320 at y 80
    EXPECT_FALSE(Inked(image, QRect(0, 0, 400, 75)));
    EXPECT_FALSE(Inked(image, QRect(330, 0, 70, 200)));
}

TEST(ReportRenderer, MeasuredWidthGrowsWithTheTextAndTakesTheWidestLine)
{
    const TReportFont font;
    const double one = MeasureTextMm(font, "0000");
    EXPECT_GT(one, 0);
    EXPECT_NEAR(MeasureTextMm(font, "00000000"), 2 * one, 0.1 * one);
    EXPECT_NEAR(MeasureTextMm(font, "00\n0000\n0"), one, 1e-9);
    TReportFont bold = font;
    bold.Bold = true;
    EXPECT_GE(MeasureTextMm(bold, "WWWW"), MeasureTextMm(font, "WWWW"));
}

int PdfPageCount(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int count = 0;
    for (std::size_t at = data.find("/Type /Page"); at != std::string::npos; at = data.find("/Type /Page", at + 1))
        if (data.compare(at, 12, "/Type /Pages") != 0)
            ++count;
    return count;
}

TEST(ReportPrinting, PrintsOnlyWhenPrintersExistAndTheDialogIsConfirmed)
{
    struct Case {
        bool Printers, Confirm;
        int FromPage, ToPage;
        int Messages, Dialogs, PagesPrinted;  // -1: no file
    };
    const Case cases[] = {
        {false, true, 0, 0, 1, 0, -1},
        {true, false, 0, 0, 0, 1, -1},
        {true, true, 0, 0, 0, 1, 3},
        {true, true, 2, 3, 0, 1, 2},
        {true, true, 3, 9, 0, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Printers << c.Confirm << c.FromPage);
        QTemporaryDir dir;
        TPdfPrintUi ui;
        ui.Printers = c.Printers;
        ui.Confirm = c.Confirm;
        ui.FromPage = c.FromPage;
        ui.ToPage = c.ToPage;
        ui.OutputFile = dir.filePath("out.pdf");
        TReportRig rig(Numbered(120));
        rig.Report.PrintUi = &ui;
        rig.Prepare();
        rig.Report.Print(nullptr);
        EXPECT_EQ(ui.NoPrinterMessages, c.Messages);
        EXPECT_EQ(ui.Dialogs, c.Dialogs);
        if (c.Dialogs > 0) {
            EXPECT_EQ(ui.DocName, "Test report");
        }
        if (c.PagesPrinted < 0) {
            EXPECT_FALSE(QFile::exists(ui.OutputFile));
        } else {
            EXPECT_EQ(PdfPageCount(ui.OutputFile), c.PagesPrinted);
        }
    }
}

TEST(ReportPrinting, PdfExportWritesEveryPageAndReportsAFileItCannotWrite)
{
    QTemporaryDir dir;
    TReportRig rig(Numbered(120));
    const QString path = dir.filePath("report.pdf");
    rig.Report.ExportPdf(path.toStdString());  // prepares when nothing was prepared
    EXPECT_EQ(PdfPageCount(path), 3);
    EXPECT_THROW(rig.Report.ExportPdf(dir.filePath("no/such/folder/report.pdf").toStdString()), std::runtime_error);
}

} // namespace
