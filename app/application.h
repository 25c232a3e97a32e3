// SPDX-License-Identifier: Apache-2.0
// The application object's share of the program: its title, the error box for
// errors that leave an event handler or start-up, and the window start-up.
#pragma once

#include "app/command_line.h"
#include "app/meter_backend.h"
#include "platform/files/trace_file.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QString>

#include <string>
#include <vector>

// The title FormCreate gives the application and the main window, with the
// version --version prints.
inline const QString ProgramTitle =
    QStringLiteral("Moisture Meter BT readout ") + QString::fromLatin1(ProgramVersion());

// The program's icon, the one its program file and desktop entry carry: the
// windows' icon.
QIcon ProgramIcon();

// The application title: the caption of the error box. Until it is set, the
// program's name.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// The error box's text: the message, with a full stop added when it is not empty
// and its last character's code is above that of the full stop.
QString ErrorBoxText(const QString &message);

// Shows a message box modally and without an owner: the main window may be
// disabled under the stop overlay, and a box owned by it would be disabled
// too. Once the box is closed the keyboard goes back to the window that had it.
void ExecMessageBox(QMessageBox &box);

// The error box: modal, the text as above, the application title as caption,
// the critical icon and OK. Returns when the operator has closed it.
void ShowErrorBox(const QString &message);

// Inside a catch block: shows the error in flight in the error box. A thrown
// value that is no std::exception shows as an error with an empty text.
void ShowCurrentError();

// Runs an event handler's work; an error that leaves it goes to the error box
// and the program carries on.
template <typename TWork>
void RunGuarded(TWork &&work)
{
    try {
        work();
    } catch (...) {
        ShowCurrentError();
    }
}

// The application object: errors that leave an event handler reach the error box
// here, and the message loop carries on.
class TApplication : public QApplication {
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// For the window: a line the trace cannot write is reported in the error box,
// once this call has returned and the event loop runs, so that the writer (the
// worker, say) never waits for the operator.
TTraceFile::TFailureHandler TraceFailureToErrorBox();

// The program with its windows: the main window and the hidden overlay, the
// worker on the backend's platform, the message loop until the main window has
// closed. `args` are the arguments as the platform split them; `trace` the
// program's trace or null. An error that leaves start-up is shown in the error
// box. Returns 0.
int RunWindowProgram(int &argc, char **argv, const std::vector<std::string> &args, TMeterBackend &backend,
                     TTraceFile *trace);
