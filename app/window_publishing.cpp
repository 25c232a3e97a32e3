// SPDX-License-Identifier: Apache-2.0
#include "app/window_publishing.h"

#include "app/application.h"
#include "app/command_line.h"
#include "platform/sockets/host_name.h"

#include <QMetaObject>
#include <QTimer>

namespace {

std::string ProgramName()
{
    const std::string line = VersionLine();
    return line.substr(0, line.find('\n'));
}

} // namespace

TWindowPublishing::TWindowPublishing(const TPublishOptions &options, bool clbMode, QWidget &window)
    : FLabel(new QLabel(&window))
{
    FLabel->setObjectName(QStringLiteral("BrokerState"));
    FLabel->setText(QString::fromStdString(BrokerStateText({false, 0})));
    FPublisher = std::make_unique<TPublisher>(
        options, TPublishingRun{LocalNowParts(), HostName(), ProgramName(), clbMode},
        static_cast<IPublishListener &>(*this));
}

TWindowPublishing::~TWindowPublishing()
{
    FPublisher.reset();  // no word of it comes after this
}

void TWindowPublishing::Publish(int row, const TReading &reading, const std::string &journalPath)
{
    if (const std::optional<std::string> failure = FPublisher->Publish(row, reading, journalPath)) {
        // Shown once the hand-off is over, as the journal's failure is.
        QTimer::singleShot(0, FLabel, [message = QString::fromStdString(*failure)] { ShowErrorBox(message); });
    }
}

// From the publisher's thread: the label changes on the interface thread.
void TWindowPublishing::BrokerStateChanged(const TBrokerState &state)
{
    QMetaObject::invokeMethod(
        FLabel, [label = FLabel, text = QString::fromStdString(BrokerStateText(state))] { label->setText(text); },
        Qt::QueuedConnection);
}

void TWindowPublishing::BrokerProblem(const std::string &message)
{
    QMetaObject::invokeMethod(
        FLabel, [text = QString::fromStdString(message)] { ShowErrorBox(text); }, Qt::QueuedConnection);
}
