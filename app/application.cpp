// SPDX-License-Identifier: Apache-2.0
#include "app/application.h"

#include "app/Glax_btr.h"
#include "app/Unit12.h"
#include "app/close_on_signals.h"
#include "app/command_line.h"
#include "app/publish_option.h"
#include "app/program_trace.h"
#include "link/Glaxbththr.h"
#include "platform/threads/synchronize_waker_qt.h"
#include "platform/text/regional_settings.h"
#include "platform/threads/synchronize.h"

#include <QMessageBox>
#include <QPointer>

#include <exception>

namespace {

QString &StoredTitle()
{
    static QString title;
    return title;
}

} // namespace

QIcon ProgramIcon()
{
    return QIcon(QStringLiteral(":/meter-readout.ico"));
}

QString ApplicationTitle()
{
    return StoredTitle().isEmpty() ? QCoreApplication::applicationName() : StoredTitle();
}

void SetApplicationTitle(const QString &title)
{
    StoredTitle() = title;
}

QString ErrorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void ExecMessageBox(QMessageBox &box)
{
    const QPointer<QWidget> active = QApplication::activeWindow();
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    // A box without an owner hands the keyboard back to no one.
    if (active != nullptr && active->isVisible())
        active->activateWindow();
}

void ShowErrorBox(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), ErrorBoxText(message), QMessageBox::Ok);
    ExecMessageBox(box);
}

void ShowCurrentError()
{
    try {
        throw;
    } catch (const std::exception &error) {
        ShowErrorBox(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorBox(QString());
    }
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentError();
        return false;
    }
}

TTraceFile::TFailureHandler TraceFailureToErrorBox()
{
    return [](const std::string &message) {
        const QString text = QStringLiteral("--trace: ") + QString::fromStdString(message) +
                             QStringLiteral("; the program goes on without the trace");
        // Queued: a box opened here would hold the thread that wrote the line.
        if (QCoreApplication *application = QCoreApplication::instance())
            QMetaObject::invokeMethod(application, [text] { ShowErrorBox(text); }, Qt::QueuedConnection);
    };
}

int RunWindowProgram(int &argc, char **argv, const std::vector<std::string> &args, TMeterBackend &backend,
                     TTraceFile *trace)
{
    TApplication application(argc, argv);
    // The boxes' icon, and the desktop entry that names the program's icon
    // where the desktop looks it up.
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("meter-readout"));
    try {
        if (trace != nullptr)
            StartProgramTrace(*trace, TraceFailureToErrorBox(), backend, args);
        RefreshRegionalSettings();
        TSynchronizer synchronizer;
        TQtSynchronizeWaker waker(synchronizer);
        TForm12 form12;
        // main() has checked the command line already; here it gives the journal's place.
        const TCommandLine line = ParseCommandLine(args);
        TForm4 form4(args, form12, synchronizer, backend.Way(), JournalOptionsOf(line), PublishOptionsOf(line));
        const TCloseOnSignals closeOnSignals(form4);
        // Emitted also when Windows ends the session, which ends the process
        // as soon as the emission returns.
        QObject::connect(&application, &QCoreApplication::aboutToQuit, &form4,
                         [&form4] { form4.EndWorkerInTime(); });
        form4.show();
        application.exec();
        // A quit that did not come through the main window's close still ends
        // the worker in order.
        form4.ShutdownWorker();
    } catch (...) {
        ShowCurrentError();
    }
    return 0;
}
