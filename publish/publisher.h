// SPDX-License-Identifier: Apache-2.0
// Publishing the accepted readings to the site's MQTT broker: each reading, as
// the table shows it, to PREFIX/<serial number>/reading with QoS 1, in order,
// and "online" (the last will "offline") retained on PREFIX/status/<host>.
// A reading reaches the table and the journal first; publishing never holds
// up the reading cycle. A reading the broker has not acknowledged is sent
// again after the connection returns, and a run that ends before the broker
// acknowledged its readings leaves them in an outbox beside the journal for
// the next run that publishes to the same broker from the same journal folder.
#pragma once

#include "link/reading.h"
#include "publish/broker_address.h"
#include "publish/broker_state.h"
#include "publish/reading_message.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

// Once, before any other thread runs: OpenSSL without a configuration file
// and the MQTT library.
void InitialisePublishing();

struct TPublishOptions {
    TBrokerAddress Broker;
    std::string User;      // empty: none
    std::string Password;  // with a user only
    std::string CaFile;    // empty: the roots the operating system trusts
    // Where the outboxes are kept: the journal folder; empty when the journal
    // is off, and the readings wait in memory only.
    std::string OutboxFolder;
};

// What the publisher tells the program, from the publisher's own thread.
class IPublishListener {
public:
    virtual ~IPublishListener() = default;
    virtual void BrokerStateChanged(const TBrokerState &state) = 0;
    // The one message for a failure that waiting alone does not mend (a
    // refused password, a certificate that does not verify, an unknown host):
    // once for each new cause.
    virtual void BrokerProblem(const std::string &message) = 0;
};

// Pauses between attempts: growing from the first to the longest; after a
// failure that waiting alone does not mend, the longest at once. Tests shorten them.
struct TRetryPauses {
    int FirstMilliseconds = 1000;
    int LongestMilliseconds = 30000;
    // How long a connection may take to be answered before it counts as failed.
    int AnswerMilliseconds = 10000;
};

class TPublisher {
public:
    // Takes up the outboxes that earlier runs left for this broker and starts
    // connecting. Throws std::runtime_error for a --publish-ca that cannot be read.
    TPublisher(TPublishOptions options, TPublishingRun run, IPublishListener &listener,
               TRetryPauses pauses = TRetryPauses());
    // Says "offline" when connected, and ends the connection and the thread,
    // within two seconds: a thread still held by the system then (a name
    // look-up that takes its time) is left to the process's end.
    ~TPublisher();
    TPublisher(const TPublisher &) = delete;
    TPublisher &operator=(const TPublisher &) = delete;

    // Call once the reading of table row `row` is in the table and the journal
    // (`journalPath`, empty when the journal is off). Never waits for the
    // network. Returns the operator's message the one time the outbox cannot
    // be written; the readings then wait in memory only.
    std::optional<std::string> Publish(int row, const TReading &reading, const std::string &journalPath);

    TBrokerState State() const;

    // At the run's end: waits while the broker is connected and readings are
    // still on their way, at most `patience`. True when none waits.
    bool WaitUntilDelivered(std::chrono::milliseconds patience);

private:
    struct TState;
    std::unique_ptr<TState> F;
};
