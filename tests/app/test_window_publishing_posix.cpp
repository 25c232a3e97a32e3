// SPDX-License-Identifier: Apache-2.0
// The main window's word on the broker: between Print and Exit, readable by a
// screen reader, and changing as the broker comes and goes.
#include "link/meter_identity.h"
#include "platform/sockets/socket_io.h"
#include "sim/simulated_meter.h"
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

// A failure a person must mend: one error box naming the cause, and the
// readings go on into the table.
TEST(WindowPublishing, AFailureAPersonMustMendIsOneErrorBoxAndTheReadingsGoOn)
{
    InitialisePublishing();
    TMqttBroker broker;
    broker.Start();
    TPublishOptions options;
    options.Broker = {true, TMqttBroker::Address, broker.TlsPort(), TMqttBroker::Prefix};
    options.User = TMqttBroker::User;
    options.Password = "wrong";
    options.CaFile = broker.CaFile();

    TPauseScaleGuard noPauses(0);
    TSimulatedMeter meter;
    TSimulatedBluetooth computer(TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView), meter,
                                 std::chrono::milliseconds(0));
    TSynchronizer synchronizer;
    TQtSynchronizeWaker waker(synchronizer);
    TForm12 form12;
    TForm4 form4({}, form12, synchronizer, TMeterWay{&computer, &computer}, NoJournal(), options);
    TBoxCloser closer;
    form4.show();
    form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen.empty(); }, 10000));
    const int rowsAfterBox = form4.Readings().rowCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form4.Readings().rowCount() >= rowsAfterBox + 3; }, 10000));

    ASSERT_EQ(closer.seen.size(), 1u) << "told again: " << closer.seen.back().text.toStdString();
    EXPECT_EQ(closer.seen[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(closer.seen[0].text.contains(": the broker refused the connection: Not authorized"))
        << closer.seen[0].text.toStdString();
}
