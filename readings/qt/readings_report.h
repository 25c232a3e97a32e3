// SPDX-License-Identifier: Apache-2.0
// The printed readings report: the template frxReport1 (title block, column
// headings, one ruled row per reading) and its record source frxUserDataSet1,
// which reads the readings table row by row while the report is prepared.
#pragma once

#include "report/banded_report.h"
#include "report/report_data_set.h"
#include "readings/readings_table.h"

#include <functional>
#include <string>

class QWidget;

class TReadingsReport {
public:
    // The table is read, never changed, and must outlive the report.
    explicit TReadingsReport(const TReadingsTable &table);
    TReadingsReport(const TReadingsReport &) = delete;
    TReadingsReport &operator=(const TReadingsReport &) = delete;

    // The Print button: prepares the report anew and prints it, whatever the
    // preparation returned. Errors propagate to the caller's error box.
    void Button4Click(QWidget *parent);

    // The record source's callbacks. FReportRow is the grid row of the current
    // record; record 1 is grid row 1, so the header row is never a record.
    void frxUserDataSet1First();
    void frxUserDataSet1Next();
    void frxUserDataSet1Prior();
    void frxUserDataSet1CheckEOF(bool &eof);
    void frxUserDataSet1GetValue(const std::string &varName, TReportValue &value);
    void frxUserDataSet1NewGetValue(const std::string &varName, TReportValue &value);

    TReportDataSet frxUserDataSet1;
    TBandedReport frxReport1;
    int FReportRow = 0;

private:
    const TReadingsTable &FTable;
};

// The report of the table as a new PDF file (for unattended runs): written
// beside its place and named only when whole; a file that has the name already
// is never touched. `mayWrite`, asked once the pages are drawn, can still
// decline: nothing is written then, and the result is false. Needs a
// QGuiApplication; throws EFileError (platform/files/atomic_file.h) when the
// file cannot be written.
bool WriteReportPdf(const TReadingsTable &table, const std::string &path,
                    const std::function<bool()> &mayWrite = nullptr);
