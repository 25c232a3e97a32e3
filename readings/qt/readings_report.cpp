// SPDX-License-Identifier: Apache-2.0
#include "readings/qt/readings_report.h"

#include "readings/reading_columns.h"

#include <array>
#include <string_view>

namespace {

struct TFieldColumn {
    std::string_view Field;
    ReadingColumn Column;
};

// The record source's fields, in this order, and the grid columns they read. The
// raw-value columns of the "clb" layout have no field and are never printed.
constexpr std::array<TFieldColumn, 10> kFieldColumns = {{
    {"No", rcNo},
    {"Range", rcRange},
    {"Moisture", rcMoisture},
    {"temp", rcTemp},
    {"B", rcProtein},
    {"T", rcOil},
    {"W", rcWater},
    {"S", rcStarch},
    {"SerNo", rcSerNo},
    {"DT", rcDateTime},
}};

TTextObject Text(std::string name, TReportBox box, std::string text, TTextAlign align, bool bold,
                 bool expressions = true)
{
    TTextObject object;
    object.Name = std::move(name);
    object.Box = box;
    object.Text = std::move(text);
    object.Font = TReportFont{"Arial", 10, bold};
    object.Align = align;
    object.AllowExpressions = expressions;
    return object;
}

TTextObject Heading(std::string name, double left, double width, double height, std::string text,
                    bool expressions)
{
    return Text(std::move(name), {left, 0, width, height}, std::move(text), TTextAlign::Right, true,
                expressions);
}

TTextObject DataText(std::string name, double left, double width, std::string_view field)
{
    TTextObject text = Text(std::move(name), {left, 0, width, 5},
                            "[frxUserDataSet1.\"" + std::string(field) + "\"]", TTextAlign::Right, false);
    // A row is one line high: a date and time with AM/PM wider than its box
    // would wrap its "PM" out of sight, so a text too wide is condensed.
    text.FitWidth = true;
    return text;
}

void BuildTemplate(TBandedReport &report, TReportDataSet &source)
{
    report.ReportName = "Super GLAX2";
    report.TwoPasses = true;
    report.DataSets = {&source};

    TReportPage &page = report.Page;
    page = TReportPage{};
    page.Name = "Page1";

    page.Objects.push_back(Text("Memo1", {0, 0, 40, 11}, "DRAVEL\nSuper GLAX2", TTextAlign::Left, false));
    TTextObject stamp = Text("SysMemo1", {145, 0, 45, 5}, "[DATE] [TIME]", TTextAlign::Left, false);
    stamp.AutoWidth = true;
    page.Objects.push_back(stamp);

    page.Bands.push_back(TReportBand{"ReportTitle1", TBandKind::ReportTitle, 16, {}, nullptr});

    TReportBand headings{"ColumnHeader1", TBandKind::ColumnHeader, 12, {}, nullptr};
    headings.Objects = {
        Heading("Memo2", 0, 14, 5, "No.", true),
        Heading("Memo4", 16, 13, 5, "Range", true),
        Heading("Memo5", 32, 19, 10, "Moisture\n[%]", false),
        Heading("Memo12", 53, 16, 10, "Temp\n[\u00B0C]", false),
        Heading("Memo13", 72, 13, 10, "Protein\n[%]", false),
        Heading("Memo14", 88, 13, 10, "Oil\n[%]", false),
        Heading("Memo15", 104, 14, 10, "Water\n[%]", false),
        Heading("Memo16", 119, 13, 10, "Starch\n[%]", false),
        Heading("Memo6", 133, 18, 5, "Serial No.", true),
        Heading("Memo7", 153, 36, 5, "Date/Time", true),
    };
    page.Bands.push_back(std::move(headings));

    TReportBand data{"MasterData1", TBandKind::MasterData, 5, {}, &source};
    data.Objects = {
        DataText("Memo3", 0, 14, "No"),
        DataText("Memo8", 16, 13, "Range"),
        DataText("Memo9", 32, 19, "Moisture"),
        DataText("Memo17", 53, 16, "temp"),
        DataText("Memo18", 72, 13, "B"),
        DataText("Memo19", 88, 13, "T"),
        DataText("Memo20", 104, 14, "W"),
        // Starch and serial number end 1 mm right of their headings, as drawn.
        DataText("Memo21", 119, 14, "S"),
        DataText("Memo10", 134, 18, "SerNo"),
        DataText("Memo11", 153, 36, "DT"),
        TLineObject{"Line1", {0, 0, 190, 0}},
        TLineObject{"Line2", {0, 5, 190, 0}},
    };
    page.Bands.push_back(std::move(data));
}

} // namespace

TReadingsReport::TReadingsReport(const TReadingsTable &table) : FTable(table)
{
    frxUserDataSet1.UserName = "frxUserDataSet1";
    for (const TFieldColumn &entry : kFieldColumns)
        frxUserDataSet1.Fields.emplace_back(entry.Field);
    frxUserDataSet1.OnFirst = [this] { frxUserDataSet1First(); };
    frxUserDataSet1.OnNext = [this] { frxUserDataSet1Next(); };
    frxUserDataSet1.OnPrior = [this] { frxUserDataSet1Prior(); };
    frxUserDataSet1.OnCheckEOF = [this](bool &eof) { frxUserDataSet1CheckEOF(eof); };
    frxUserDataSet1.OnGetValue = [this](const std::string &name, TReportValue &value) {
        frxUserDataSet1GetValue(name, value);
    };
    frxUserDataSet1.OnNewGetValue = [this](const std::string &name, TReportValue &value) {
        frxUserDataSet1NewGetValue(name, value);
    };
    BuildTemplate(frxReport1, frxUserDataSet1);
}

void TReadingsReport::Button4Click(QWidget *parent)
{
    frxReport1.PrepareReport(true);
    frxReport1.Print(parent);
}

void TReadingsReport::frxUserDataSet1First()
{
    FReportRow = 1;
}

void TReadingsReport::frxUserDataSet1Next()
{
    ++FReportRow;
}

void TReadingsReport::frxUserDataSet1Prior()
{
    if (FReportRow > 1)
        --FReportRow;
}

void TReadingsReport::frxUserDataSet1CheckEOF(bool &eof)
{
    // Read at every test, so rows added during preparation are printed too. A
    // cursor past the end (never reached by a walk from First) ends the walk too.
    eof = FReportRow >= FTable.RowCount();
}

void TReadingsReport::frxUserDataSet1GetValue(const std::string &varName, TReportValue &value)
{
    for (const TFieldColumn &entry : kFieldColumns)
        if (entry.Field == varName) {
            value = std::string(FTable.Cell(entry.Column, FReportRow));
            return;
        }
}

void TReadingsReport::frxUserDataSet1NewGetValue(const std::string &varName, TReportValue &value)
{
    frxUserDataSet1GetValue(varName, value);
}

bool WriteReportPdf(const TReadingsTable &table, const std::string &path, const std::function<bool()> &mayWrite)
{
    TReadingsReport report(table);
    report.frxReport1.PrepareReport(true);
    return report.frxReport1.ExportPdf(path, TReplace::Never, mayWrite);
}
