// SPDX-License-Identifier: Apache-2.0
#include "report/report_print_ui.h"

#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>

namespace {

class TPlatformReportPrintUi final : public IReportPrintUi {
public:
    bool HasPrinters() override { return !QPrinterInfo::availablePrinters().isEmpty(); }

    void ShowNoPrinters(QWidget *parent) override
    {
        QMessageBox::warning(parent, QStringLiteral("Print"), QString::fromLatin1(NoPrintersMessage));
    }

    bool RunPrintDialog(QPrinter &printer, QWidget *parent) override
    {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Print"));
        return dialog.exec() == QDialog::Accepted;
    }
};

} // namespace

IReportPrintUi &PlatformReportPrintUi()
{
    static TPlatformReportPrintUi ui;
    return ui;
}
