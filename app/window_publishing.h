// SPDX-License-Identifier: Apache-2.0
// Publishing as the main window does it: the broker's state in words on a
// label beside the controls ("Broker: connected", "Broker: not reached, 12
// readings waiting"), which a screen reader reads and hears change, and an
// error box once for each failure a person must mend.
#pragma once

#include "publish/publisher.h"

#include <QLabel>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>

class TWindowPublishing : private IPublishListener {
public:
    // The label is a child of `window`. Throws std::runtime_error for a
    // certificate authority file that cannot be read.
    TWindowPublishing(const TPublishOptions &options, bool clbMode, QWidget &window);
    ~TWindowPublishing() override;

    QLabel &Label() { return *FLabel; }
    // After the table and the journal: see TPublisher::Publish.
    void Publish(int row, const TReading &reading, const std::string &journalPath);

private:
    void BrokerStateChanged(const TBrokerState &state) override;
    void BrokerProblem(const std::string &message) override;

    QPointer<QLabel> FLabel;
    std::unique_ptr<TPublisher> FPublisher;
};
