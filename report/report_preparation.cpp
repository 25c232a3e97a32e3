// SPDX-License-Identifier: Apache-2.0
#include "report/report_preparation.h"

#include <algorithm>

#include <stdexcept>

namespace {

// Lengths are whole millimetres or sums of them; this absorbs their rounding.
constexpr double kFitToleranceMm = 1e-6;

class TPassBuilder {
public:
    TPassBuilder(const TReportPage &page, const TPreparationContext &context)
        : FPage(page), FContext(context)
    {
    }

    std::vector<TPreparedPage> Run()
    {
        StartPage();
        for (const TReportBand &band : FPage.Bands)
            if (band.Kind == TBandKind::ReportTitle)
                PlaceBand(band);
        for (const TReportObject &object : FPage.Objects)
            PlaceObject(object, 0, 0);
        PlaceColumnHeaders();
        for (const TReportBand &band : FPage.Bands)
            if (band.Kind == TBandKind::MasterData)
                WalkRecords(band);
        return std::move(FPages);
    }

private:
    const TReportPage &FPage;
    const TPreparationContext &FContext;
    std::vector<TPreparedPage> FPages;
    double FTop = 0;  // where the next band goes on the current page
    int FDataRowsOnPage = 0;

    void ProcessMessages()
    {
        if (FContext.ProcessMessages)
            FContext.ProcessMessages();
    }

    void StartPage()
    {
        TPreparedPage prepared;
        prepared.PaperWidth = FPage.PaperWidth;
        prepared.PaperHeight = FPage.PaperHeight;
        prepared.MarginLeft = FPage.MarginLeft;
        prepared.MarginTop = FPage.MarginTop;
        FPages.push_back(std::move(prepared));
        FTop = 0;
        FDataRowsOnPage = 0;
        ProcessMessages();
    }

    void PlaceColumnHeaders()
    {
        for (const TReportBand &band : FPage.Bands)
            if (band.Kind == TBandKind::ColumnHeader)
                PlaceBand(band);
    }

    double ColumnHeadersHeight() const
    {
        double height = 0;
        for (const TReportBand &band : FPage.Bands)
            if (band.Kind == TBandKind::ColumnHeader)
                height += band.Height;
        return height;
    }

    void WalkRecords(const TReportBand &band)
    {
        if (band.DataSet == nullptr)
            throw std::runtime_error("The report's data band " + band.Name + " has no record source");
        TReportDataSet &source = *band.DataSet;
        ProcessMessages();
        source.First();
        const double pageHeight = FPage.PrintableHeight();
        const bool fitsOnFurtherPage = band.Height <= pageHeight - ColumnHeadersHeight() + kFitToleranceMm;
        while (!source.Eof()) {
            const bool fits = FTop + band.Height <= pageHeight + kFitToleranceMm;
            // A further page helps only if something is on this one already, or if
            // this is the first page and the title leaves the row too little room.
            if (!fits && (FDataRowsOnPage > 0 || (FPages.size() == 1 && fitsOnFurtherPage))) {
                StartPage();
                PlaceColumnHeaders();
            }
            PlaceBand(band);
            ++FDataRowsOnPage;
            source.Next();
        }
    }

    void PlaceBand(const TReportBand &band)
    {
        for (const TReportObject &object : band.Objects)
            PlaceObject(object, 0, FTop);
        FTop += band.Height;
    }

    void PlaceObject(const TReportObject &object, double left, double top)
    {
        std::vector<TPreparedObject> &objects = FPages.back().Objects;
        if (const auto *line = std::get_if<TLineObject>(&object)) {
            TPreparedLine placed{line->Name, line->Box};
            placed.Box.Left += left;
            placed.Box.Top += top;
            objects.push_back(std::move(placed));
            return;
        }
        const auto &text = std::get<TTextObject>(object);
        TPreparedText placed;
        placed.Name = text.Name;
        placed.Box = text.Box;
        placed.Box.Left += left;
        placed.Box.Top += top;
        placed.Text = text.AllowExpressions
                          ? ResolveExpressions(text.Text, FContext.Expressions, text.Name)
                          : text.Text;
        placed.Font = text.Font;
        placed.Align = text.Align;
        placed.WordWrap = text.WordWrap;
        if ((text.AutoWidth || text.FitWidth) && !FContext.MeasureTextMm)
            throw std::logic_error("The report engine cannot size " + text.Name + " without a text measure");
        if (text.FitWidth) {
            placed.WordWrap = false;
            const double room = placed.Box.Width - 2 * TextGapMm;
            const double width = FContext.MeasureTextMm(text.Font, placed.Text);
            if (width > room && width > 0)
                placed.Condense = std::max(room, 0.0) / width;
        }
        if (text.AutoWidth) {
            const double right = placed.Box.Right();
            placed.Box.Width = FContext.MeasureTextMm(text.Font, placed.Text) + 2 * TextGapMm;
            placed.Box.Left = right - placed.Box.Width;
            placed.WordWrap = false;
        }
        objects.push_back(std::move(placed));
    }
};

} // namespace

std::vector<TPreparedPage> PrepareReportPass(const TReportPage &page, const TPreparationContext &context)
{
    return TPassBuilder(page, context).Run();
}
