// SPDX-License-Identifier: Apache-2.0
// What the report tests look at and print with: the texts of a prepared page, and
// a print interface without dialogs that prints to a PDF file.
#pragma once

#include "report/prepared_pages.h"
#include "report/report_print_ui.h"

#include <QPrinter>
#include <QString>

#include <string>
#include <variant>
#include <vector>

// The texts of a page that a template object of this name produced.
inline std::vector<const TPreparedText *> TextsNamed(const TPreparedPage &page, const std::string &name)
{
    std::vector<const TPreparedText *> found;
    for (const TPreparedObject &object : page.Objects)
        if (const auto *text = std::get_if<TPreparedText>(&object); text != nullptr && text->Name == name)
            found.push_back(text);
    return found;
}

// Says whether printers exist, counts the messages and dialogs, and on a
// confirmed dialog prints to OutputFile as PDF.
struct TPdfPrintUi final : IReportPrintUi {
    bool Printers = true;
    bool Confirm = true;
    QString OutputFile;
    int FromPage = 0, ToPage = 0;  // the range chosen in the dialog; 0: all pages

    int NoPrinterMessages = 0;
    int Dialogs = 0;
    QString DocName;  // the print job's title, as the dialog saw it

    bool HasPrinters() override { return Printers; }
    void ShowNoPrinters(QWidget *) override { ++NoPrinterMessages; }
    bool RunPrintDialog(QPrinter &printer, QWidget *) override
    {
        ++Dialogs;
        DocName = printer.docName();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(OutputFile);
        if (FromPage > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(FromPage, ToPage);
        }
        return Confirm;
    }
};
