// SPDX-License-Identifier: Apache-2.0
// The publisher against a real broker: what arrives, in what order, and what
// the broker's absence, its restart, the program's end and the failures a
// person must mend do to it.
#include "publish/publisher.h"

#include "publish/outbox.h"
#include "tests/support/mqtt_broker_posix.h"
#include "tests/support/mqtt_subscriber_posix.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <map>
#include <thread>

namespace {

// Pauses a test can wait for; the real ones are 1 s to 30 s.
const TRetryPauses kTestPauses{100, 600, 3000};

class TListener : public IPublishListener {
public:
    void BrokerStateChanged(const TBrokerState &state) override
    {
        const std::lock_guard<std::mutex> hold(FLock);
        FStates.push_back(BrokerStateText(state));
    }
    void BrokerProblem(const std::string &message) override
    {
        const std::lock_guard<std::mutex> hold(FLock);
        FProblems.push_back(message);
    }
    std::vector<std::string> States() const
    {
        const std::lock_guard<std::mutex> hold(FLock);
        return FStates;
    }
    std::vector<std::string> Problems() const
    {
        const std::lock_guard<std::mutex> hold(FLock);
        return FProblems;
    }

private:
    mutable std::mutex FLock;
    std::vector<std::string> FStates;
    std::vector<std::string> FProblems;
};

TReading ReadingNumber(int n)
{
    TReading reading;
    std::memcpy(reading.Serial.data(), "A12345", 6);
    std::memcpy(reading.Range.data(), "WHT", 3);
    reading.Moisture = 10 + n / 10.0;
    reading.Timestamp = EncodeDateTime({2026, 12, 10, 9, 0, n % 60, 0});
    return reading;
}

TPublishingRun RunStartingAt(int second)
{
    return {{2026, 12, 10, 9, 0, second, 0}, "lab-pc-3", "meter-readout 1.3.0", false};
}

TPublishOptions Options(const TMqttBroker &broker, const std::string &folder, const std::string &host = TMqttBroker::Address)
{
    TPublishOptions options;
    options.Broker = {true, host, broker.TlsPort(), TMqttBroker::Prefix};
    options.User = TMqttBroker::User;
    options.Password = TMqttBroker::Password;
    options.CaFile = broker.CaFile();
    options.OutboxFolder = folder;
    return options;
}

// The ids of the readings that arrived, first arrivals in order. A repeat
// must be the same message as the first time.
std::vector<std::string> ArrivedIds(const std::vector<TArrivedMessage> &arrived)
{
    std::vector<std::string> ids;
    std::map<std::string, std::string> first;
    for (const TArrivedMessage &message : arrived) {
        if (message.Topic.find("/reading") == std::string::npos)
            continue;
        const std::size_t at = message.Payload.find("\"id\":\"") + 6;
        const std::string id = message.Payload.substr(at, message.Payload.find('"', at) - at);
        const auto [known, isNew] = first.emplace(id, message.Payload);
        if (isNew)
            ids.push_back(id);
        else
            EXPECT_EQ(known->second, message.Payload) << "a repeat differs";
    }
    return ids;
}

std::vector<std::string> Ids(const TPublishingRun &run, int from, int to)
{
    std::vector<std::string> ids;
    for (int row = from; row <= to; ++row)
        ids.push_back(ReadingId(run, row));
    return ids;
}

// Whether exactly these readings arrive, in this order, within 20 s.
bool Arrived(TMqttSubscriber &subscriber, const std::vector<std::string> &ids)
{
    subscriber.WaitFor([&](const std::vector<TArrivedMessage> &arrived) { return ArrivedIds(arrived).size() >= ids.size(); });
    return ArrivedIds(subscriber.Arrived()) == ids;
}

class Publisher : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitialisePublishing(); }
    TMqttBroker Broker;
    TScratchFolder Journal{"publish-journal"};
    std::string JournalFile(int second) const
    {
        return Journal.File("readings-20261210-0900" + std::string(second < 10 ? "0" : "") + std::to_string(second) + ".csv");
    }
};

} // namespace

TEST_F(Publisher, EachReadingArrivesInOrderAsItsMessage)
{
    Broker.Start();
    TMqttSubscriber subscriber(Broker.PlainPort(), "lab/#");
    TListener listener;
    const TPublishingRun run = RunStartingAt(1);
    {
        TPublisher publisher(Options(Broker, Journal.Path().string()), run, listener, kTestPauses);
        for (int row = 1; row <= 5; ++row)
            EXPECT_EQ(publisher.Publish(row, ReadingNumber(row), JournalFile(1)), std::nullopt);
        ASSERT_TRUE(Arrived(subscriber, Ids(run, 1, 5))) << Broker.Log();
        std::vector<std::string> expected;
        for (int row = 1; row <= 5; ++row)
            expected.push_back(ReadingMessage(run, row, ReadingNumber(row)));
        EXPECT_EQ(subscriber.PayloadsOn("lab/A12345/reading"), expected);
        for (const TArrivedMessage &message : subscriber.Arrived())
            EXPECT_EQ(message.Retained, false) << message.Topic;
    }
    // At the end the status says so, and nothing waits beside the journal.
    ASSERT_TRUE(subscriber.WaitFor([](const std::vector<TArrivedMessage> &arrived) {
        return !arrived.empty() && arrived.back().Topic == "lab/status/lab-pc-3" && arrived.back().Payload == "offline";
    }));
    EXPECT_EQ(subscriber.PayloadsOn("/status/lab-pc-3").front(), "online");
    EXPECT_TRUE(Journal.Names().empty());
    // Its end is no news: the last word stays "connected".
    ASSERT_FALSE(listener.States().empty());
    EXPECT_EQ(listener.States().back(), "Broker: connected");
    EXPECT_TRUE(listener.Problems().empty());
}

// However the broker comes and goes, every reading arrives, at least once and
// in order; a repeat is the same message.
TEST_F(Publisher, EveryReadingArrivesWhenTheBrokerComesAndGoes)
{
    TListener listener;
    const TPublishingRun run = RunStartingAt(2);
    std::optional<TMqttSubscriber> subscriber;
    {
        // Away at start: the readings wait, and say so.
        TPublisher publisher(Options(Broker, Journal.Path().string()), run, listener, kTestPauses);
        for (int row = 1; row <= 3; ++row)
            publisher.Publish(row, ReadingNumber(row), JournalFile(2));
        EXPECT_EQ(publisher.State(), (TBrokerState{false, 3}));
        Broker.Start();
        subscriber.emplace(Broker.PlainPort(), "lab/#");
        ASSERT_TRUE(Arrived(*subscriber, Ids(run, 1, 3))) << Broker.Log();
        // Gone in the middle of the run, and back.
        Broker.Stop();
        for (int row = 4; row <= 6; ++row)
            publisher.Publish(row, ReadingNumber(row), JournalFile(2));
        Broker.Start();
        ASSERT_TRUE(Arrived(*subscriber, Ids(run, 1, 6))) << Broker.Log();
        // Gone when the program ends: the next run sends what waits.
        Broker.Stop();
        for (int row = 7; row <= 8; ++row)
            publisher.Publish(row, ReadingNumber(row), JournalFile(2));
    }
    EXPECT_FALSE(Journal.Names().empty());
    Broker.Start();
    const TPublishingRun next = RunStartingAt(30);
    {
        TPublisher publisher(Options(Broker, Journal.Path().string()), next, listener, kTestPauses);
        publisher.Publish(1, ReadingNumber(1), JournalFile(30));
        std::vector<std::string> all = Ids(run, 1, 8);
        all.push_back(ReadingId(next, 1));
        ASSERT_TRUE(Arrived(*subscriber, all)) << Broker.Log();
    }
    EXPECT_TRUE(Journal.Names().empty());
    EXPECT_TRUE(listener.Problems().empty());
}

// What a person must mend: one message naming the cause, the readings wait,
// and the publisher keeps trying at its longest pause without saying it again.
TEST_F(Publisher, AFailureAPersonMustMendIsToldOnceAndTheReadingsWait)
{
    Broker.Start();
    const struct {
        const char *Case;
        std::string Host;
        std::string Password;
        std::string CaFile;
        std::string Prefix;
        const char *Cause;
    } cases[] = {
        {"wrong password", TMqttBroker::Address, "wrong", "", TMqttBroker::Prefix,
         "the broker refused the connection: Not authorized"},
        {"another authority", TMqttBroker::Address, TMqttBroker::Password, Broker.OtherCaFile(), TMqttBroker::Prefix,
         "certificate is not trusted: self-signed certificate in certificate chain"},
        {"a name the certificate does not hold", "localhost", TMqttBroker::Password, "", TMqttBroker::Prefix,
         "certificate is not trusted: hostname mismatch"},
        {"an unknown host", "no-such-broker.invalid", TMqttBroker::Password, "", TMqttBroker::Prefix,
         "host is not found"},
        // The broker acknowledges what its access list drops: the readings
        // must not count as delivered.
        {"a prefix the user may not publish under", TMqttBroker::Address, TMqttBroker::Password, "", "elsewhere",
         "the broker does not take the readings: Not authorized"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Case);
        TListener listener;
        TScratchFolder journal("publish-journal");
        TPublishOptions options = Options(Broker, journal.Path().string(), c.Host);
        options.Password = c.Password;
        options.Broker.Prefix = c.Prefix;
        if (!c.CaFile.empty())
            options.CaFile = c.CaFile;
        TPublisher publisher(options, RunStartingAt(3), listener, kTestPauses);
        for (int row = 1; row <= 2; ++row)
            publisher.Publish(row, ReadingNumber(row), JournalFile(3));
        // Long enough for the first attempt and two more at the longest pause.
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * kTestPauses.LongestMilliseconds + 500));
        const std::vector<std::string> problems = listener.Problems();
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find("Publishing to mqtts://"), std::string::npos) << problems[0];
        EXPECT_NE(problems[0].find(c.Cause), std::string::npos) << problems[0];
        EXPECT_EQ(publisher.State(), (TBrokerState{false, 2}));
    }
}
