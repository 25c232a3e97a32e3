// SPDX-License-Identifier: Apache-2.0
// The Qt side of the hand-off: a QObject on the GUI thread that installs itself
// as the synchronizer's waker. Each wake posts an event to it, and its handler
// runs the pending steps, so every event loop of the GUI thread runs them: the
// main loop, QDialog::exec, QMessageBox and any local QEventLoop.
#pragma once

#include <QEvent>
#include <QObject>

class TSynchronizer;

class TQtSynchronizeWaker : public QObject {
    Q_OBJECT
public:
    // Create on the GUI thread, which must be the synchronizer's interface thread.
    explicit TQtSynchronizeWaker(TSynchronizer &synchronizer, QObject *parent = nullptr);
    // Uninstalls itself before it goes.
    ~TQtSynchronizeWaker() override;

protected:
    bool event(QEvent *event) override;

private:
    static QEvent::Type WakeEventType();

    TSynchronizer &FSynchronizer;
};
