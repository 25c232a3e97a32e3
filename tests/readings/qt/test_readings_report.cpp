// SPDX-License-Identifier: Apache-2.0
// The printed readings report: its pages for various numbers of readings, the
// field-to-column mapping, printing and the PDF it writes.
#include "readings/qt/readings_report.h"

#include "readings/reading_columns.h"
#include "tests/report/report_probe.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char *const kGridHeaders[] = {"   No.",         "   Range",       "   Moisture [%]", "   Temp [\u00B0C]",
                                    "   Protein [%]", "   Oil [%]",     "   Water [%]",    "   Starch [%]",
                                    "   Ser. no.",    "   Date/Time",   "IR1",             "IR2",
                                    "IR3",            "IR4"};

// Cell (column c, row r) holds "r<r>c<c>", so every printed text tells where it came from.
std::string CellText(int row, int column)
{
    return "r" + std::to_string(row) + "c" + std::to_string(column);
}

void AppendReading(TReadingsTable &table)
{
    const int row = table.RowCount();
    std::vector<std::string> cells;
    for (int column = 0; column < table.ColumnCount(); ++column)
        cells.push_back(CellText(row, column));
    table.AppendRow(cells);
}

TReadingsTable MakeTable(int readings, bool clb = false)
{
    TReadingsTable table(ColumnCountFor(clb));
    for (int column = 0; column < table.ColumnCount(); ++column)
        table.SetHeader(column, kGridHeaders[column]);
    for (int i = 0; i < readings; ++i)
        AppendReading(table);
    return table;
}

// The report of a table of its own, with a fixed clock and settings and no
// pending-event processing.
struct TReportRig {
    explicit TReportRig(int readings, bool clb = false) : Table(MakeTable(readings, clb)), Report(Table)
    {
        Template().ProcessMessages = nullptr;
        Template().Clock = [] { return TDateTimeParts{2024, 3, 5, 14, 7, 9, 0}; };
        Template().Settings = [] { return TRegionalSettings{}; };
    }

    TBandedReport &Template() { return Report.frxReport1; }

    // Prepares the report anew.
    const std::vector<TPreparedPage> &Prepare()
    {
        Template().PrepareReport(true);
        return Template().PreparedPages();
    }

    TReadingsTable Table;
    TReadingsReport Report;
};

int LinesOn(const TPreparedPage &page)
{
    return static_cast<int>(std::count_if(page.Objects.begin(), page.Objects.end(), [](const TPreparedObject &o) {
        return std::holds_alternative<TPreparedLine>(o);
    }));
}

const char *const kHeadingNames[] = {"Memo2",  "Memo4",  "Memo5",  "Memo12", "Memo13",
                                     "Memo14", "Memo15", "Memo16", "Memo6",  "Memo7"};

TEST(ReadingsReport, PagesHoldTitleOnceHeadingsAlwaysAndRulesEveryRow)
{
    struct Case {
        int Readings;
        std::vector<int> RowsPerPage;
    };
    const Case cases[] = {{0, {0}}, {1, {1}}, {49, {49}}, {50, {49, 1}}, {120, {49, 53, 18}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Readings);
        TReportRig rig(c.Readings);
        const auto &pages = rig.Prepare();
        ASSERT_EQ(pages.size(), c.RowsPerPage.size());
        int row = 1;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            SCOPED_TRACE(p);
            const TPreparedPage &page = pages[p];
            const bool first = p == 0;
            EXPECT_EQ(TextsNamed(page, "Memo1").size(), first ? 1u : 0u);
            EXPECT_EQ(TextsNamed(page, "SysMemo1").size(), first ? 1u : 0u);
            for (const char *heading : kHeadingNames) {
                const auto found = TextsNamed(page, heading);
                ASSERT_EQ(found.size(), 1u) << heading;
                EXPECT_DOUBLE_EQ(found[0]->Box.Top, first ? 16 : 0) << heading;
                EXPECT_TRUE(found[0]->Font.Bold);
            }
            const auto numbers = TextsNamed(page, "Memo3");
            ASSERT_EQ(static_cast<int>(numbers.size()), c.RowsPerPage[p]);
            EXPECT_EQ(LinesOn(page), 2 * c.RowsPerPage[p]);  // ruled above and below
            for (std::size_t r = 0; r < numbers.size(); ++r) {
                EXPECT_DOUBLE_EQ(numbers[r]->Box.Top, (first ? 28 : 12) + 5.0 * static_cast<double>(r));
                EXPECT_EQ(numbers[r]->Text, CellText(row++, rcNo));
            }
        }
    }
}

TEST(ReadingsReport, TitleBlockAndStampSitAtTheTopOfTheFirstPage)
{
    TReportRig rig(0);
    const TPreparedPage &page = rig.Prepare().at(0);
    const auto title = TextsNamed(page, "Memo1");
    ASSERT_EQ(title.size(), 1u);
    EXPECT_EQ(title[0]->Text, "DRAVEL\nSuper GLAX2");
    EXPECT_EQ(title[0]->Box, (TReportBox{0, 0, 40, 11}));
    const auto stamp = TextsNamed(page, "SysMemo1");
    ASSERT_EQ(stamp.size(), 1u);
    EXPECT_EQ(stamp[0]->Text, "3/5/2024 2:07:09 PM");
    EXPECT_NEAR(stamp[0]->Box.Right(), 190, 1e-9);
    EXPECT_GT(stamp[0]->Box.Width, 0);
    EXPECT_LT(stamp[0]->Box.Width, 190);
    EXPECT_EQ(rig.Template().ReportName, "Super GLAX2");
}

TEST(ReadingsReport, EachFieldPrintsItsGridColumnAndTheHeadingsAreTheTemplatesOwn)
{
    struct Case {
        const char *Object;
        int Column;  // -1: a heading with this text
        const char *Heading;
        double Left, Right;
    };
    const Case cases[] = {
        {"Memo3", rcNo, nullptr, 0, 14},          {"Memo8", rcRange, nullptr, 16, 29},
        {"Memo9", rcMoisture, nullptr, 32, 51},   {"Memo17", rcTemp, nullptr, 53, 69},
        {"Memo18", rcProtein, nullptr, 72, 85},   {"Memo19", rcOil, nullptr, 88, 101},
        {"Memo20", rcWater, nullptr, 104, 118},   {"Memo21", rcStarch, nullptr, 119, 133},
        {"Memo10", rcSerNo, nullptr, 134, 152},   {"Memo11", rcDateTime, nullptr, 153, 189},
        {"Memo2", -1, "No.", 0, 14},              {"Memo4", -1, "Range", 16, 29},
        {"Memo5", -1, "Moisture\n[%]", 32, 51},   {"Memo12", -1, "Temp\n[\u00B0C]", 53, 69},
        {"Memo13", -1, "Protein\n[%]", 72, 85},   {"Memo14", -1, "Oil\n[%]", 88, 101},
        {"Memo15", -1, "Water\n[%]", 104, 118},   {"Memo16", -1, "Starch\n[%]", 119, 132},
        {"Memo6", -1, "Serial No.", 133, 151},    {"Memo7", -1, "Date/Time", 153, 189},
    };
    for (const bool clb : {false, true}) {
        TReportRig rig(1, clb);
        const TPreparedPage &page = rig.Prepare().at(0);
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << c.Object << (clb ? " clb" : ""));
            const auto found = TextsNamed(page, c.Object);
            ASSERT_EQ(found.size(), 1u);
            EXPECT_EQ(found[0]->Text, c.Column >= 0 ? CellText(1, c.Column) : std::string(c.Heading));
            EXPECT_DOUBLE_EQ(found[0]->Box.Left, c.Left);
            EXPECT_DOUBLE_EQ(found[0]->Box.Right(), c.Right);
            EXPECT_EQ(found[0]->Align, TTextAlign::Right);
            EXPECT_EQ(found[0]->Font.Family, "Arial");
            EXPECT_DOUBLE_EQ(found[0]->Font.SizePt, 10);
        }
        // Neither the grid's header row nor the raw-value columns reach the paper.
        for (const TPreparedObject &object : page.Objects)
            if (const auto *text = std::get_if<TPreparedText>(&object)) {
                EXPECT_EQ(text->Text.find("   "), std::string::npos) << text->Name;
                for (int column = rcIR1; column <= rcIR4; ++column)
                    EXPECT_NE(text->Text, CellText(1, column));
            }
    }
}

TEST(ReadingsReport, ClbTablePrintsExactlyAsTheNormalOne)
{
    auto textsOf = [](bool clb) {
        TReportRig rig(60, clb);
        std::vector<std::string> texts;
        for (const TPreparedPage &page : rig.Prepare())
            for (const TPreparedObject &object : page.Objects)
                if (const auto *text = std::get_if<TPreparedText>(&object))
                    texts.push_back(text->Name + "=" + text->Text);
        return texts;
    };
    const auto normal = textsOf(false);
    EXPECT_EQ(normal.size(), 2 + 2 * 10 + 60 * 10u);
    EXPECT_EQ(textsOf(true), normal);
}

TEST(ReadingsReport, RecordCursorFollowsTheHandlers)
{
    TReadingsTable table = MakeTable(2);
    TReadingsReport report(table);
    bool eof = false;
    report.frxUserDataSet1First();
    EXPECT_EQ(report.FReportRow, 1);
    report.frxUserDataSet1Prior();  // never before the first record
    EXPECT_EQ(report.FReportRow, 1);
    report.frxUserDataSet1CheckEOF(eof);
    EXPECT_FALSE(eof);
    report.frxUserDataSet1Next();
    report.frxUserDataSet1Next();
    report.frxUserDataSet1CheckEOF(eof);
    EXPECT_TRUE(eof);
    AppendReading(table);  // a reading arrives: the end moves
    report.frxUserDataSet1CheckEOF(eof);
    EXPECT_FALSE(eof);
    TReportValue value = "untouched";
    report.frxUserDataSet1GetValue("moisture", value);  // names are case-sensitive
    EXPECT_EQ(value, "untouched");
    report.frxUserDataSet1NewGetValue("Moisture", value);
    EXPECT_EQ(value, CellText(3, rcMoisture));
    report.frxUserDataSet1Prior();
    EXPECT_EQ(report.FReportRow, 2);
}

TEST(ReadingsReport, RowsArrivingDuringPreparationArePrinted)
{
    TReportRig rig(47);
    TReadingsTable &table = rig.Table;
    int calls = 0;
    // Each call lets one pending reading in, as the worker's hand-offs would.
    rig.Template().ProcessMessages = [&] {
        ++calls;
        AppendReading(table);
    };
    const auto &pages = rig.Prepare();
    int printed = 0;
    for (const TPreparedPage &page : pages)
        printed += static_cast<int>(TextsNamed(page, "Memo3").size());
    // Two calls per pass put 51 rows in the table before the second pass's walk,
    // whose new page let a 52nd in before the walk ended.
    EXPECT_EQ(pages.size(), 2u);
    EXPECT_EQ(table.RowCount() - 1, 52);
    EXPECT_EQ(printed, table.RowCount() - 1);
    EXPECT_EQ(TextsNamed(pages.back(), "Memo3").back()->Text, CellText(table.RowCount() - 1, rcNo));
    EXPECT_EQ(calls, 5);
}

TEST(ReadingsReport, EveryPrintPreparesAnewWithItsOwnStamp)
{
    TReportRig rig(3);
    TPdfPrintUi ui;
    ui.Confirm = false;
    rig.Template().PrintUi = &ui;
    int minute = 0;
    rig.Template().Clock = [&minute] { return TDateTimeParts{2024, 3, 5, 9, ++minute, 0, 0}; };

    rig.Report.Button4Click(nullptr);
    const std::string firstStamp = TextsNamed(rig.Template().PreparedPages()[0], "SysMemo1")[0]->Text;
    EXPECT_EQ(rig.Report.FReportRow, 4);
    AppendReading(rig.Table);
    rig.Report.Button4Click(nullptr);
    const auto &pages = rig.Template().PreparedPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(TextsNamed(pages[0], "SysMemo1")[0]->Text, "3/5/2024 9:02:00 AM");
    EXPECT_EQ(firstStamp, "3/5/2024 9:01:00 AM");
    const auto numbers = TextsNamed(pages[0], "Memo3");
    ASSERT_EQ(numbers.size(), 4u);
    EXPECT_EQ(numbers.front()->Text, CellText(1, rcNo));
    EXPECT_EQ(ui.Dialogs, 2);
}

bool HaveTool(const char *name)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

QString RunTool(const char *name, const QStringList &arguments)
{
    QProcess process;
    process.start(QString::fromLatin1(name), arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(ReadingsReport, PrintSendsOneJobTitledWithTheReportName)
{
    if (!HaveTool("pdfinfo"))
        GTEST_SKIP() << "pdfinfo is not installed";
    QTemporaryDir dir;
    TReportRig rig(60);
    TPdfPrintUi ui;
    ui.OutputFile = dir.filePath("job.pdf");
    rig.Template().PrintUi = &ui;
    rig.Report.Button4Click(nullptr);
    const QString info = RunTool("pdfinfo", {ui.OutputFile});
    EXPECT_TRUE(info.contains(QRegularExpression("Title: +Super GLAX2\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Pages: +2\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Page size: .*\\(A4\\)"))) << info.toStdString();
}

TEST(ReadingsReport, WithoutPrintersNothingIsPrinted)
{
    TReportRig rig(2);
    TPdfPrintUi ui;
    ui.Printers = false;
    rig.Template().PrintUi = &ui;
    rig.Report.Button4Click(nullptr);
    EXPECT_EQ(ui.NoPrinterMessages, 1);
    EXPECT_EQ(ui.Dialogs, 0);
}

// The report's PDF as pdftotext reads it.
class ReadingsReportPdf : public testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool("pdftotext"))
            GTEST_SKIP() << "pdftotext is not installed";
    }

    // Writes the report of a table of these readings; returns the PDF's path.
    QString WritePdf(const std::vector<std::vector<std::string>> &readings)
    {
        TReadingsTable table = MakeTable(0);
        for (const auto &reading : readings)
            table.AppendRow(reading);
        const QString path = FDir.filePath("report.pdf");
        WriteReportPdf(table, path.toStdString());
        return path;
    }

private:
    QTemporaryDir FDir;
};

TEST_F(ReadingsReportPdf, TextShowsTitleHeadingsAndCells)
{
    const QString path = WritePdf({{"1", "W1", "14.5", "21.3", "11.2", "1.9", "13.0", "68.4", "123456", "3/5/2024 2:07:09 PM"},
                                   {"2", "B2", "9.9", "-0.1", "10.0", "2.0", "14.0", "70.1", "654321", "3/5/2024"}});
    const QString text = RunTool("pdftotext", {"-layout", path, "-"});
    for (const char *expected : {"DRAVEL", "Super GLAX2", "No.", "Moisture", "[%]", "[\u00B0C]", "Serial",
                                 "Date/Time", "14.5", "68.4", "123456", "654321", "-0.1", "W1", "B2"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains("Ser. no.")) << text.toStdString();
}

struct TWordBox {
    QString Word;
    double Left, Top, Right, Bottom;  // points from the paper's top-left corner
};

// Every word of the PDF's first page with its box, as pdftotext places it.
std::vector<TWordBox> PdfWords(const QString &path)
{
    const QString html = RunTool("pdftotext", {"-bbox", "-f", "1", "-l", "1", path, "-"});
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    std::vector<TWordBox> words;
    for (auto match = word.globalMatch(html); match.hasNext();) {
        const auto found = match.next();
        words.push_back({found.captured(5), found.captured(1).toDouble(), found.captured(2).toDouble(),
                         found.captured(3).toDouble(), found.captured(4).toDouble()});
    }
    return words;
}

TEST_F(ReadingsReportPdf, EveryDataTextStaysWholeOnItsRowEvenWhenWiderThanItsBox)
{
    // A 12-hour date and time, and range and serial texts of the widest letters.
    const QString path = WritePdf({{"1", "WWWW", "14.5", "21.3", "11.2", "1.9", "13.0", "68.4", "WWWWWW", "12/28/2024 11:09:33 PM"}});

    constexpr double PointsPerMm = 72 / 25.4;
    // The first data row: 28 to 33 mm below the printable area's top, 10 mm down.
    const double rowTop = (10 + 28) * PointsPerMm;
    const double rowBottom = (10 + 33) * PointsPerMm;
    const struct {
        const char *Word;
        double BoxRightMm;  // the right edge of its data box, on the paper
    } expected[] = {{"WWWW", 10 + 29}, {"WWWWWW", 10 + 152}, {"12/28/2024", 10 + 189}, {"11:09:33", 10 + 189},
                    {"PM", 10 + 189}};
    const std::vector<TWordBox> words = PdfWords(path);
    for (const auto &e : expected) {
        SCOPED_TRACE(e.Word);
        // Below the title block, whose stamp has a time of its own.
        const auto found = std::find_if(words.begin(), words.end(), [&](const TWordBox &w) {
            return w.Word == e.Word && w.Top > (10 + 16) * PointsPerMm;
        });
        if (found == words.end()) {
            ADD_FAILURE() << "not printed whole on the page";
            continue;
        }
        EXPECT_GE(found->Top, rowTop - 1);
        EXPECT_LE(found->Bottom, rowBottom + 1) << "wrapped below the row";
        EXPECT_LE(found->Right, e.BoxRightMm * PointsPerMm + 0.5) << "runs past its box";
    }
}

} // namespace
