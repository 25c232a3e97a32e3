// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/synchronize_waker_qt.h"

#include "platform/threads/synchronize.h"

#include <QCoreApplication>

QEvent::Type TQtSynchronizeWaker::WakeEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TQtSynchronizeWaker::TQtSynchronizeWaker(TSynchronizer &synchronizer, QObject *parent)
    : QObject(parent), FSynchronizer(synchronizer)
{
    WakeEventType();  // registered here, on the GUI thread, not first on a worker
    // postEvent is safe from any thread; the event is delivered on this object's
    // thread by whichever event loop runs there.
    FSynchronizer.SetWaker([this] { QCoreApplication::postEvent(this, new QEvent(WakeEventType())); });
    // A step issued before the waker existed still gets its wake.
    QCoreApplication::postEvent(this, new QEvent(WakeEventType()));
}

TQtSynchronizeWaker::~TQtSynchronizeWaker()
{
    FSynchronizer.SetWaker({});
}

bool TQtSynchronizeWaker::event(QEvent *event)
{
    if (event->type() == WakeEventType()) {
        FSynchronizer.CheckSynchronize();
        return true;
    }
    return QObject::event(event);
}
