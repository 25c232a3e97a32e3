// SPDX-License-Identifier: Apache-2.0
#include "report/banded_report.h"

#include "platform/text/date_time_format.h"
#include "report/report_preparation.h"
#include "report/report_print_ui.h"
#include "report/report_renderer.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <stdexcept>
#include <string_view>

namespace {

// Fonts and painting need the GUI side of Qt; say so instead of crashing in it.
void RequireGuiApplication()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr)
        throw std::logic_error("The report engine needs a QGuiApplication (the offscreen platform will do)");
}

QPageLayout PaperLayout(const TPreparedPage &page)
{
    return QPageLayout(QPageSize(QSizeF(page.PaperWidth, page.PaperHeight), QPageSize::Millimeter),
                       page.PaperWidth <= page.PaperHeight ? QPageLayout::Portrait : QPageLayout::Landscape,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

TBandedReport::TBandedReport()
    : ProcessMessages([] { QCoreApplication::processEvents(); }),
      Clock(LocalNowParts),
      Settings(CurrentRegionalSettings),
      MeasureTextMm([](const TReportFont &font, const std::string &text) {
          RequireGuiApplication();
          return ::MeasureTextMm(font, text);
      })
{
}

bool TBandedReport::PrepareReport(bool clearLastReport)
{
    if (clearLastReport)
        FPreparedPages.clear();

    TPreparationContext context;
    const TDateTime now = EncodeDateTime(Clock());
    const TRegionalSettings settings = Settings();
    context.Expressions.Date = FormatDateTimePicture(now, settings.ShortDateFormat, settings);
    context.Expressions.Time = FormatDateTimePicture(now, settings.LongTimeFormat, settings);
    context.Expressions.DataSets = DataSets;
    context.MeasureTextMm = MeasureTextMm;
    context.ProcessMessages = ProcessMessages;

    // The first of two passes is dropped at once, so only one pass's pages are
    // ever held.
    if (TwoPasses)
        PrepareReportPass(Page, context);
    std::vector<TPreparedPage> pages = PrepareReportPass(Page, context);
    FPreparedPages.insert(FPreparedPages.end(), std::make_move_iterator(pages.begin()),
                          std::make_move_iterator(pages.end()));
    return !FPreparedPages.empty();
}

void TBandedReport::Print(QWidget *parent)
{
    IReportPrintUi &ui = PrintUi != nullptr ? *PrintUi : PlatformReportPrintUi();
    if (!ui.HasPrinters()) {
        ui.ShowNoPrinters(parent);
        return;
    }
    if (FPreparedPages.empty())
        PrepareReport(true);

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromStdString(ReportName));
    printer.setFullPage(true);
    printer.setPageLayout(PaperLayout(FPreparedPages.front()));
    printer.setCopyCount(1);
    printer.setCollateCopies(true);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(1, static_cast<int>(FPreparedPages.size()));
    if (!ui.RunPrintDialog(printer, parent))
        return;

    std::size_t first = 0;
    std::size_t last = FPreparedPages.size() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = static_cast<std::size_t>(printer.fromPage() - 1);
        last = std::min(last, static_cast<std::size_t>(std::max(printer.toPage(), printer.fromPage()) - 1));
        if (first > last)
            return;  // the chosen pages lie beyond the report
    }
    RenderPreparedPages(printer, FPreparedPages, first, last);
}

bool TBandedReport::ExportPdf(const std::string &path, TReplace replace, const std::function<bool()> &mayWrite)
{
    RequireGuiApplication();
    {
        TAtomicFile probe;  // a name that cannot be written is refused before the drawing
        probe.Open(path, replace);
    }
    if (FPreparedPages.empty())
        PrepareReport(true);

    // Drawn in memory: no file exists until the report is whole, also when
    // the process is ended in the middle of the drawing. The PDF writer
    // ignores failed writes; the atomic file checks its one write, and the
    // file takes its name only when it is whole and on the disk.
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(QString::fromStdString(ReportName));
        writer.setCreator(QCoreApplication::applicationName());
        writer.setPageLayout(PaperLayout(FPreparedPages.front()));
        RenderPreparedPages(writer, FPreparedPages, 0, FPreparedPages.size() - 1);
    }
    if (mayWrite && !mayWrite())
        return false;
    TAtomicFile file;
    file.Open(path, replace);
    file.Write(std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
    file.Commit();
    return true;
}
