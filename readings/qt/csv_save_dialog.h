// SPDX-License-Identifier: Apache-2.0
// The save dialog of the CSV export: the main window keeps one for its whole
// life, so that the path chosen last is offered again at the next Save.
#pragma once

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

class TCsvSaveDialog {
public:
    static const QString Title;       // "Save as CSV"
    static const QString Filter;      // "CSV file (*.csv)"
    static const QString Suffix;      // "csv", added to a name typed without one

    // Shows the dialog modally: on Windows the system's own file dialog, so it
    // is a plain QFileDialog (Qt hands a subclass its own widget dialog). The
    // chosen full path, after the dialog's own question where the file exists;
    // nothing when the operator cancels.
    std::optional<QString> Execute(QWidget *parent);

    // The full path chosen last in this run; empty before the first choice.
    QString LastPath() const { return FLastPath; }

private:
    static void SetUp(QFileDialog &dialog);
    // True when the folder of the path exists.
    static bool FolderExists(const QString &path);

    QString FLastPath;
};
