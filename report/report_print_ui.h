// SPDX-License-Identifier: Apache-2.0
// The platform side of printing a report: whether printers exist, the message when
// none does, and the print dialog. An interface, so that tests print without
// opening a dialog.
#pragma once

class QPrinter;
class QWidget;

class IReportPrintUi {
public:
    virtual ~IReportPrintUi() = default;
    virtual bool HasPrinters() = 0;
    // "No printers installed on your system".
    virtual void ShowNoPrinters(QWidget *parent) = 0;
    // A modal print dialog captioned "Print" over the printer's settings; true
    // when the operator confirms it.
    virtual bool RunPrintDialog(QPrinter &printer, QWidget *parent) = 0;
};

// The platform's own: QPrinterInfo, a message box, QPrintDialog.
IReportPrintUi &PlatformReportPrintUi();

inline constexpr const char *NoPrintersMessage = "No printers installed on your system";
