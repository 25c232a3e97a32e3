// SPDX-License-Identifier: Apache-2.0
// The main window's word on the broker: between Print and Exit, readable by a
// screen reader, and changing as the broker comes and goes.
#include "tests/app/window_rig.h"
#include "tests/support/mqtt_broker_posix.h"
#include "tests/support/scratch_folder.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString SpokenName(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

} // namespace

TEST(WindowPublishing, ShowsTheBrokersStateInWordsBetweenPrintAndExit)
{
    InitialisePublishing();
    TMqttBroker broker;
    broker.Start();
    TScratchFolder journal("window-publish");
    TPublishOptions options;
    options.Broker = {true, TMqttBroker::Address, broker.TlsPort(), TMqttBroker::Prefix};
    options.User = TMqttBroker::User;
    options.Password = TMqttBroker::Password;
    options.CaFile = broker.CaFile();
    options.OutboxFolder = journal.Path().string();

    std::unique_ptr<TSimulatedBluetooth> computer =
        std::make_unique<TSimulatedBluetooth>(TSimulatedBluetooth::NoRadio(), [] { return InvalidSocket; });
    TSynchronizer synchronizer;
    TQtSynchronizeWaker waker(synchronizer);
    TForm12 form12;
    TForm4 form4({}, form12, synchronizer, TMeterWay{computer.get(), computer.get()}, NoJournal(), options);
    form4.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form4));

    auto *state = form4.findChild<QLabel *>(QStringLiteral("BrokerState"));
    ASSERT_NE(state, nullptr);
    EXPECT_GE(state->geometry().left(), form4.Button4->geometry().right());
    EXPECT_LE(state->geometry().right(), form4.Button5->geometry().left());
    EXPECT_TRUE(state->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), QStringLiteral("Broker: connected"), 10000);
    EXPECT_EQ(SpokenName(state), QStringLiteral("Broker: connected"));

    broker.Stop();
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), QStringLiteral("Broker: not reached, 0 readings waiting"), 10000);
    EXPECT_EQ(SpokenName(state), QStringLiteral("Broker: not reached, 0 readings waiting"));
}
