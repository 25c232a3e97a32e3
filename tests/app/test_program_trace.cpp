// SPDX-License-Identifier: Apache-2.0
// The program's trace in the window: a trace that cannot be written is told
// once, in the error box, while acquisition goes on.
#include "app/application.h"
#include "link/link_trace.h"
#include "link/meter_identity.h"
#include "sim/simulated_bluetooth.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "tests/app/window_rig.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

constexpr int WaitMs = 10000;

TEST(WindowTrace, ATraceThatCannotBeWrittenIsReportedOnceWhileAcquisitionGoesOn)
{
#ifdef _WIN32
    GTEST_SKIP() << "no device here that is always full";
#else
    TPauseScaleGuard noPauses(0);
    TSimulatedMeter meter;
    TSimulatedBluetooth computer(TSimulatedBluetooth::MeterOnFirstRadio(MeterDeviceNameView), meter,
                                 std::chrono::milliseconds(0));
    TTraceFile trace("/dev/full");
    trace.SetFailureHandler(TraceFailureToErrorBox());
    const TProgramLinkTrace tracing(&trace);
    TWindowRig rig({}, computer);

    TBoxCloser closer;
    rig.form4.show();
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen.empty(); }, WaitMs));
    // Acquisition goes on, and no line of it is reported again.
    const int rowsAfterBox = rig.form4.Readings().rowCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.form4.Readings().rowCount() >= rowsAfterBox + 3; }, WaitMs));

    ASSERT_EQ(closer.seen.size(), 1u) << "reported again: " << closer.seen.back().text.toStdString();
    EXPECT_EQ(closer.seen[0].title, ApplicationTitle());
    EXPECT_EQ(closer.seen[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(closer.seen[0].text.startsWith("--trace: Cannot write file \"/dev/full\"."))
        << closer.seen[0].text.toStdString();
#endif
}

TEST(WindowTrace, TheErrorBoxNeverHoldsTheThreadWhoseLineFailed)
{
    TBoxCloser closer;
    const TTraceFile::TFailureHandler report = TraceFailureToErrorBox();
    std::thread writer([&] { report("Cannot write file \"t.txt\". No space left on device"); });
    writer.join();  // returns without the box having been shown
    EXPECT_TRUE(closer.seen.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen.empty(); }, WaitMs));
    EXPECT_EQ(closer.seen[0].text,
              "--trace: Cannot write file \"t.txt\". No space left on device; the program goes on without the trace.");
}

} // namespace
