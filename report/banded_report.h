// SPDX-License-Identifier: Apache-2.0
// A small banded report engine: a template (one page with page objects and bands),
// record sources walked through callbacks, preparation into pages held as data,
// printing through the platform's print dialog and export to PDF.
#pragma once

#include "platform/files/atomic_file.h"
#include "platform/text/date_time.h"
#include "platform/text/regional_settings.h"
#include "report/prepared_pages.h"
#include "report/report_data_set.h"
#include "report/report_template.h"

#include <functional>
#include <string>
#include <vector>

class IReportPrintUi;
class QWidget;

class TBandedReport {
public:
    TBandedReport();

    // The print job's title.
    std::string ReportName;
    // On: the whole report is prepared twice and the second pass kept.
    bool TwoPasses = false;
    TReportPage Page;
    // The record sources that expressions may name, by their UserName.
    std::vector<TReportDataSet *> DataSets;

    // Called at the start of every data walk and at every new page, so that
    // pending work of the interface thread runs; by default Qt's pending events.
    std::function<void()> ProcessMessages;
    // The local clock, read once when preparation begins.
    std::function<TDateTimeParts()> Clock;
    // The regional settings whose short date and long time formats [DATE] and
    // [TIME] follow.
    std::function<TRegionalSettings()> Settings;
    // The width of a text in millimetres; by default measured with Qt.
    std::function<double(const TReportFont &, const std::string &)> MeasureTextMm;
    // Where printing asks for printers and runs its dialog; null: the platform's.
    IReportPrintUi *PrintUi = nullptr;

    // Builds the pages from the template. With clearLastReport the pages of an
    // earlier preparation are discarded, else the new pages follow them. Errors
    // of the template or of the record source propagate as exceptions. Returns
    // true when pages were prepared.
    bool PrepareReport(bool clearLastReport = true);
    const std::vector<TPreparedPage> &PreparedPages() const { return FPreparedPages; }

    // Prints the prepared pages (preparing first when there are none): the
    // message "No printers installed on your system" when the platform has no
    // printer, else the modal dialog "Print"; on confirmation one print job
    // titled ReportName. Cancelling prints nothing.
    void Print(QWidget *parent);
    // Writes the prepared pages (preparing first when there are none) as a PDF
    // file. The file takes its name only when it is whole and on the disk; an
    // existing file is replaced then, or with TReplace::Never refused at once.
    // The pages are drawn first; `mayWrite`, asked then, can still decline (a
    // run out of time), and nothing is written: returns whether the file was.
    // Throws EFileError (platform/files/atomic_file.h) with the operator's message.
    bool ExportPdf(const std::string &path, TReplace replace = TReplace::Existing,
                   const std::function<bool()> &mayWrite = nullptr);

private:
    std::vector<TPreparedPage> FPreparedPages;
};
