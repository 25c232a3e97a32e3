// SPDX-License-Identifier: Apache-2.0
// The window and the program asked to end by a signal: they end as the close
// box ends them.
#include "app/close_on_signals.h"
#include "link/Glaxbththr.h"
#include "link/meter_identity.h"
#include "tests/app/window_rig.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr int WaitMs = 20000;

struct TSignalCase {
    int Signal;
    const char *Name;
};

#if defined(_WIN32)
const TSignalCase SignalCases[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}};  // Windows has no SIGHUP
#else
const TSignalCase SignalCases[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
#endif

std::string CaseName(const testing::TestParamInfo<TSignalCase> &info)
{
    return info.param.Name;
}

// Notes whether a widget was ever shown.
class TShownWatch : public QObject {
public:
    explicit TShownWatch(QWidget &widget) { widget.installEventFilter(this); }
    bool shown = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            shown = true;
        return false;
    }
};

class WindowOnSignal : public testing::TestWithParam<TSignalCase> {};

TEST_P(WindowOnSignal, ClosesWithTheOverlayAndEndsTheWorker)
{
#if defined(_WIN32)
    GTEST_SKIP() << "these are POSIX signals; Windows ends a session with WM_ENDSESSION";
#else
    TWindowRig rig(TSimulatedBluetooth::LookAlikesOnly(MeterDeviceNameView));
    TSimulatedBluetooth &platform = *rig.computer;
    TShownWatch overlay(rig.form12);
    rig.form4.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.form4));
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.Counts().Discoveries >= 1; }, WaitMs));

    const TCloseOnSignals closeOnSignals(rig.form4);
    ASSERT_EQ(std::raise(GetParam().Signal), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.form4.isVisible(); }, WaitMs));
    EXPECT_TRUE(overlay.shown) << "closed without the overlay";
    EXPECT_FALSE(rig.form12.isVisible());
    EXPECT_EQ(BTthr, nullptr) << "the worker was not shut down";
#endif
}

INSTANTIATE_TEST_SUITE_P(Signals, WindowOnSignal, testing::ValuesIn(SignalCases), CaseName);

#if !defined(_WIN32)
// Whether the process has a handler of its own for the signal: its mask of
// caught signals in /proc.
bool Catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}
#endif

class WindowProgramOnSignal : public testing::TestWithParam<TSignalCase> {};

TEST_P(WindowProgramOnSignal, EndsInOrderWithExitStatusZero)
{
#if defined(_WIN32)
    GTEST_SKIP() << "these are POSIX signals; Windows ends a session with WM_ENDSESSION";
#else
    QTemporaryDir dataHome;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_DATA_HOME", dataHome.path());
    if (!environment.contains("XDG_RUNTIME_DIR"))
        environment.insert("XDG_RUNTIME_DIR", dataHome.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(READOUT_PROGRAM_PATH), {"--simulate"});
    ASSERT_TRUE(process.waitForStarted());
    // The handlers come with the window; a signal before them would end the
    // program the signal's own way.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Catches(process.processId(), GetParam().Signal); }, WaitMs))
        << "the program never took " << GetParam().Name << " itself";
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), GetParam().Signal), 0);
    ASSERT_TRUE(process.waitForFinished(WaitMs)) << "still running after " << GetParam().Name;
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "killed by " << GetParam().Name;
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
#endif
}

INSTANTIATE_TEST_SUITE_P(Signals, WindowProgramOnSignal, testing::ValuesIn(SignalCases), CaseName);

} // namespace
