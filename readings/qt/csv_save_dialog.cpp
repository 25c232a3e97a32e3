#include "readings/qt/csv_save_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

const QString TCsvSaveDialog::Title = QStringLiteral("Save as CSV");
const QString TCsvSaveDialog::Filter = QStringLiteral("CSV file (*.csv)");
const QString TCsvSaveDialog::Suffix = QStringLiteral("csv");

TCsvFileDialog::TCsvFileDialog(QWidget *parent) : QFileDialog(parent, TCsvSaveDialog::Title)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilter(TCsvSaveDialog::Filter);
    setDefaultSuffix(TCsvSaveDialog::Suffix);
    // Ask before replacing an existing file; the read-only check box is not
    // offered by this dialog at all.
    setOption(QFileDialog::DontConfirmOverwrite, false);
    setSizeGripEnabled(true);
}

bool TCsvFileDialog::FolderExists(const QString &path)
{
    return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

void TCsvFileDialog::accept()
{
    // Qt's own save dialog would take a name in a folder that does not exist and
    // leave the failure to the save; the platform's dialog refuses it at once.
    const QStringList files = selectedFiles();
    if (!files.isEmpty() && !FolderExists(files.first())) {
        const QString folder = QDir::toNativeSeparators(QFileInfo(files.first()).absolutePath());
        QMessageBox::warning(this, windowTitle(), tr("The folder \"%1\" does not exist.").arg(folder));
        return;
    }
    QFileDialog::accept();
}

std::optional<QString> TCsvSaveDialog::Execute(QWidget *parent)
{
    TCsvFileDialog dialog(parent);
    if (!FLastPath.isEmpty())
        dialog.selectFile(FLastPath);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    FLastPath = files.first();
    return FLastPath;
}
