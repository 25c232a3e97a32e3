// The program's trace in the window: a trace that cannot be written is told
// once, in the error box, while acquisition goes on.
#include "app/application.h"
#include "link/link_trace.h"
#include "link/meter_identity.h"
#include "platform/sim/simulated_bluetooth.h"
#include "platform/sim/simulated_meter.h"
#include "platform/socket_io.h"
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

    // Closed once two more readings have come in while it was up: the worker,
    // whose line failed, never waits for the operator.
    std::vector<TSeenBox> seen;
    int rowsWhenShown = -1;
    bool rowsCameWhileUp = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        const int rows = rig.form4.Readings().rowCount();
        if (rowsWhenShown < 0) {
            rowsWhenShown = rows;
            seen.push_back({box->windowTitle(), box->text(), box->icon()});
        } else if (rows >= rowsWhenShown + 2) {
            rowsCameWhileUp = true;
            rowsWhenShown = -1;
            box->done(QMessageBox::Ok);
        }
    });
    watch.start(20);
    rig.form4.show();
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowsCameWhileUp; }, WaitMs));
    const int rowsAfterBox = rig.form4.Readings().rowCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.form4.Readings().rowCount() >= rowsAfterBox + 2; }, WaitMs));

    ASSERT_EQ(seen.size(), 1u) << "reported again: " << seen.back().text.toStdString();
    EXPECT_EQ(seen[0].title, ApplicationTitle());
    EXPECT_EQ(seen[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(seen[0].text.startsWith("--trace: Cannot write file \"/dev/full\".")) << seen[0].text.toStdString();
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
