// SPDX-License-Identifier: Apache-2.0
#include "readings/qt/csv_save_dialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

const QString TCsvSaveDialog::Title = QStringLiteral("Save as CSV");
const QString TCsvSaveDialog::Filter = QStringLiteral("CSV file (*.csv)");
const QString TCsvSaveDialog::Suffix = QStringLiteral("csv");

void TCsvSaveDialog::SetUp(QFileDialog &dialog)
{
    dialog.setWindowTitle(Title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Filter);
    dialog.setDefaultSuffix(Suffix);
    // Ask before replacing an existing file; the read-only check box is not
    // offered by this dialog at all.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setSizeGripEnabled(true);
}

bool TCsvSaveDialog::FolderExists(const QString &path)
{
    return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

std::optional<QString> TCsvSaveDialog::Execute(QWidget *parent)
{
    QString offered = FLastPath;
    for (;;) {
        QFileDialog dialog(parent);
        SetUp(dialog);
        if (!offered.isEmpty())
            dialog.selectFile(offered);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty())
            return std::nullopt;
        if (FolderExists(files.first())) {
            FLastPath = files.first();
            return FLastPath;
        }
        // The system's dialog refuses a name in a folder that does not exist;
        // Qt's own takes it and would leave the failure to the save. Say so and
        // offer the dialog again with the name as typed.
        const QString folder = QDir::toNativeSeparators(QFileInfo(files.first()).absolutePath());
        QMessageBox::warning(parent, Title,
                             QCoreApplication::translate("TCsvSaveDialog", "The folder \"%1\" does not exist.").arg(folder));
        offered = files.first();
    }
}
