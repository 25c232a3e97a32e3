// SPDX-License-Identifier: Apache-2.0
#include "readings/qt/csv_save_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <vector>

namespace {

template <class T>
T *VisibleWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<T *>(widget); found && found->isVisible())
            return found;
    return nullptr;
}

// Plays the operator while a modal dialog runs: each step waits until it can act
// (its window is up), acts and returns true. Should a step never get its chance,
// every open dialog is cancelled after a generous time so the test cannot hang.
class TOperator {
public:
    using TStep = std::function<bool()>;

    explicit TOperator(std::vector<TStep> steps) : FSteps(std::move(steps))
    {
        FClock.start();
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start(10);
    }
    bool Finished() const { return FNext == FSteps.size(); }

private:
    void Poll()
    {
        if (Finished()) {
            FTimer.stop();
            return;
        }
        if (FSteps[FNext]())
            ++FNext;
        else if (FClock.elapsed() > 20000)
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
                    dialog->reject();
    }

    std::vector<TStep> FSteps;
    std::size_t FNext = 0;
    QTimer FTimer;
    QElapsedTimer FClock;
};

// Types a name into the dialog's name field and presses Save.
TOperator::TStep TypeAndSave(const QString &name)
{
    return [name] {
        auto *dialog = VisibleWindow<QFileDialog>();
        if (dialog == nullptr || QApplication::activeModalWidget() != dialog)
            return false;
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (edit == nullptr)
            return false;
        edit->setText(name);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        return true;
    };
}

TOperator::TStep Cancel()
{
    return [] {
        auto *dialog = VisibleWindow<QFileDialog>();
        if (dialog == nullptr || QApplication::activeModalWidget() != dialog)
            return false;
        dialog->reject();
        return true;
    };
}

// Answers a message box that the dialog puts up; remembers its text.
TOperator::TStep Answer(QMessageBox::StandardButton button, QString *text)
{
    return [button, text] {
        auto *box = VisibleWindow<QMessageBox>();
        if (box == nullptr)
            return false;
        *text = box->text();
        if (QAbstractButton *pressed = box->button(button))
            pressed->click();
        else
            box->reject();
        return true;
    };
}

QString Join(const QTemporaryDir &dir, const QString &name)
{
    return QDir(dir.path()).filePath(name);
}

} // namespace

// Looks at the dialog that Execute shows, then cancels it.
TOperator::TStep Inspect(const std::function<void(QFileDialog &)> &look)
{
    return [look] {
        auto *dialog = VisibleWindow<QFileDialog>();
        if (dialog == nullptr || QApplication::activeModalWidget() != dialog)
            return false;
        look(*dialog);
        return true;
    };
}

TEST(CsvSaveDialog, OffersCsvFilesUnderItsTitleAndAsksBeforeReplacing)
{
    TCsvSaveDialog saveDialog;
    TOperator player({Inspect([](QFileDialog &dialog) {
                          EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Save as CSV"));
                          EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("CSV file (*.csv)")});
                          EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("csv"));
                          EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
                          EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
                          EXPECT_TRUE(dialog.isSizeGripEnabled());
                      }),
                      Cancel()});
    EXPECT_FALSE(saveDialog.Execute(nullptr).has_value());
    EXPECT_TRUE(player.Finished());
}

TEST(CsvSaveDialog, IsAPlainFileDialogSoTheSystemShowsItsOwn)
{
    // Qt gives the platform's file dialog only to a QFileDialog itself, not
    // to a subclass, and never with DontUseNativeDialog set.
    TCsvSaveDialog saveDialog;
    TOperator player({Inspect([](QFileDialog &dialog) {
                          EXPECT_STREQ(dialog.metaObject()->className(), QFileDialog::staticMetaObject.className());
                          EXPECT_FALSE(dialog.testOption(QFileDialog::DontUseNativeDialog));
                      }),
                      Cancel()});
    EXPECT_FALSE(saveDialog.Execute(nullptr).has_value());
    EXPECT_TRUE(player.Finished());
}

TEST(CsvSaveDialog, CancelGivesNoPathAndTouchesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TCsvSaveDialog saveDialog;
    TOperator player({Cancel()});

    EXPECT_FALSE(saveDialog.Execute(nullptr).has_value());

    EXPECT_TRUE(player.Finished());
    EXPECT_TRUE(saveDialog.LastPath().isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST(CsvSaveDialog, NameWithoutExtensionGetsCsvAndIsOfferedAgainNextTime)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TCsvSaveDialog saveDialog;
    const QString expected = Join(dir, QStringLiteral("harvest.csv"));

    TOperator first({TypeAndSave(Join(dir, QStringLiteral("harvest")))});
    const auto chosen = saveDialog.Execute(nullptr);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QDir::cleanPath(*chosen), QDir::cleanPath(expected));
    EXPECT_FALSE(QFile::exists(expected)) << "the dialog only chooses; the writer writes";

    QString offered;
    TOperator second({[&offered] {
                          auto *dialog = VisibleWindow<QFileDialog>();
                          if (dialog == nullptr)
                              return false;
                          offered = dialog->selectedFiles().value(0);
                          return true;
                      },
                      Cancel()});
    EXPECT_FALSE(saveDialog.Execute(nullptr).has_value());
    EXPECT_EQ(QDir::cleanPath(offered), QDir::cleanPath(expected));
    EXPECT_EQ(saveDialog.LastPath(), *chosen) << "a cancelled dialog keeps the last choice";
}

TEST(CsvSaveDialog, NameInAMissingFolderIsRefusedAndTheDialogStaysOpen)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TCsvSaveDialog saveDialog;
    const QString typed = Join(dir, QStringLiteral("no such folder/harvest.csv"));
    QString message;
    bool stillOpen = false;
    QString offered;
    TOperator player({TypeAndSave(typed),
                      Answer(QMessageBox::Ok, &message),
                      [&stillOpen, &offered] {
                          // Once the box is answered the dialog is there again,
                          // with the name as typed, waiting for another.
                          auto *dialog = VisibleWindow<QFileDialog>();
                          if (dialog == nullptr || QApplication::activeModalWidget() != dialog)
                              return false;
                          stillOpen = true;
                          offered = dialog->selectedFiles().value(0);
                          return true;
                      },
                      Cancel()});

    EXPECT_FALSE(saveDialog.Execute(nullptr).has_value());

    EXPECT_TRUE(player.Finished());
    EXPECT_TRUE(message.contains(QStringLiteral("does not exist"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(QFileInfo(typed).absolutePath()))) << message.toStdString();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(QFileInfo(offered).fileName(), QStringLiteral("harvest.csv")) << offered.toStdString();
    EXPECT_TRUE(saveDialog.LastPath().isEmpty()) << "a refused name is no choice";
}
