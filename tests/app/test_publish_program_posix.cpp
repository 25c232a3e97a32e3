// SPDX-License-Identifier: Apache-2.0
// The built program publishing to a real broker, headless, end to end: what
// the broker's consumers get, what the operator reads on standard error, and
// where the readings wait when the broker refuses the program.
#include "tests/app/program_run.h"
#include "tests/support/mqtt_broker_posix.h"
#include "tests/support/mqtt_subscriber_posix.h"
#include "tests/support/scratch_folder.h"

#include <QRegularExpression>
#include <QString>

#include <gtest/gtest.h>

namespace {

// The value of a JSON field of a message, as its text ("12.3", "\"K97901\"").
QString Field(const std::string &message, const char *name)
{
    const QRegularExpression pattern(QStringLiteral("\"%1\":(\"[^\"]*\"|[^,}]*)").arg(QLatin1String(name)));
    return pattern.match(QString::fromStdString(message)).captured(1);
}

} // namespace

TEST(PublishProgram, SendsEachRowToTheBrokerOrKeepsItBesideTheJournal)
{
    TMqttBroker broker;
    broker.Start();
    TMqttSubscriber subscriber(broker.PlainPort(), "lab/#");
    TScratchFolder passwordFolder("publish-password");
    const std::string wrongPasswordFile = passwordFolder.File("wrong");
    WriteFileContents(wrongPasswordFile, "not-the-password\n");
    const struct {
        const char *Case;
        QStringList Options;
        bool Delivered;
        const char *Says;  // on standard error, exactly once
    } cases[] = {
        {"the password from the environment", {}, true, "meter-readout: Broker: connected"},
        {"a wrong password from a file",
         {QStringLiteral("--publish-password-file"), QString::fromStdString(wrongPasswordFile)},
         false,
         "meter-readout: Publishing to mqtts://127.0.0.1:%1/lab: the broker refused the connection: Not authorized"},
    };
    int delivered = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Case);
        TScratchFolder journal("publish-journal");
        QProcessEnvironment environment = ChildEnvironment();
        environment.insert(QStringLiteral("READOUT_MQTT_PASSWORD"), QString::fromLatin1(TMqttBroker::Password));
        const TRun run = RunProgramIn(
            environment,
            QStringList{QStringLiteral("--simulate"), QStringLiteral("--headless"), QStringLiteral("--count"),
                        QStringLiteral("3"), QStringLiteral("--journal-dir"), QString::fromStdString(journal.Path().string()),
                        QStringLiteral("--publish"),
                        QStringLiteral("mqtts://127.0.0.1:%1/lab").arg(broker.TlsPort()),
                        QStringLiteral("--publish-user"), QString::fromLatin1(TMqttBroker::User),
                        QStringLiteral("--publish-ca"), QString::fromStdString(broker.CaFile())} +
                c.Options);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList rows = QString::fromUtf8(run.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(rows.size(), 3);
        QString says = QString::fromLatin1(c.Says);
        says.replace(QStringLiteral("%1"), QString::number(broker.TlsPort()));
        EXPECT_EQ(QString::fromUtf8(run.err).count(says), 1) << run.err.toStdString();
        if (c.Delivered) {
            delivered += 3;
            ASSERT_TRUE(subscriber.WaitFor([&](const std::vector<TArrivedMessage> &arrived) {
                return static_cast<int>(arrived.size()) >= delivered;
            })) << broker.Log();
            // The numbers the operator sees in each row are those published.
            const std::vector<std::string> messages = subscriber.PayloadsOn("/reading");
            ASSERT_EQ(messages.size(), 3u);
            for (int i = 0; i < 3; ++i) {
                const QStringList cells = rows[i].split(QLatin1Char(','));
                EXPECT_EQ(Field(messages[i], "row"), cells[0]);
                EXPECT_EQ(Field(messages[i], "range"), QLatin1Char('"') + cells[1] + QLatin1Char('"'));
                EXPECT_EQ(Field(messages[i], "moisture"), cells[2]);
                EXPECT_EQ(Field(messages[i], "starch"), cells[7]);
                EXPECT_EQ(Field(messages[i], "serial"), QLatin1Char('"') + cells[8] + QLatin1Char('"'));
            }
            EXPECT_EQ(journal.Names().size(), 1u);  // the journal alone: nothing waits
        } else {
            // The readings wait beside the journal for the next run.
            EXPECT_EQ(journal.Names().size(), 2u);
            EXPECT_EQ(subscriber.PayloadsOn("/reading").size(), static_cast<std::size_t>(delivered));
        }
    }
}
