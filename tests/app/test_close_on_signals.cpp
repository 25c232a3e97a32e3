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
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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

#if !defined(_WIN32)
extern "C" void EarlierHandler(int, siginfo_t *, void *) {}

// A signal's handling as sigaction tells it: the handler, the flags and the
// signals blocked while the handler runs.
struct THandling {
    std::uintptr_t Handler = 0;
    int Flags = 0;
    std::vector<int> Blocked;
    bool operator==(const THandling &) const = default;
};

// None for the signals that the C library keeps to itself.
std::optional<THandling> HandlingOf(int signal)
{
    struct sigaction action {};
    if (sigaction(signal, nullptr, &action) != 0)
        return std::nullopt;
    THandling handling{reinterpret_cast<std::uintptr_t>(action.sa_handler), action.sa_flags, {}};
    for (int other = 1; other < NSIG; ++other)
        if (sigismember(&action.sa_mask, other) == 1)
            handling.Blocked.push_back(other);
    return handling;
}

std::string Text(const std::optional<THandling> &handling)
{
    if (!handling)
        return "none";
    std::ostringstream text;
    text << "handler " << std::hex << handling->Handler << ", flags " << handling->Flags << ", blocking "
         << std::dec << handling->Blocked.size() << " signals";
    return text.str();
}

struct sigaction EarlierAction(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    return action;
}

// A program's own handler, with flags and a mask of its own.
struct sigaction EarlierFunction()
{
    struct sigaction action {};
    action.sa_sigaction = EarlierHandler;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGUSR2);
    return action;
}

// The test program's own handling of the closing signals, given back at the end.
class TKeptHandling {
public:
    TKeptHandling()
    {
        for (std::size_t i = 0; i < std::size(SignalCases); ++i)
            sigaction(SignalCases[i].Signal, nullptr, &FKept[i]);
    }
    ~TKeptHandling()
    {
        for (std::size_t i = 0; i < std::size(SignalCases); ++i)
            sigaction(SignalCases[i].Signal, &FKept[i], nullptr);
    }

private:
    struct sigaction FKept[std::size(SignalCases)] {};
};

TEST(CloseOnSignals, GivesBackEverySignalItTookAsItWas)
{
    const std::pair<const char *, struct sigaction> earlier[] = {
        {"the default", EarlierAction(SIG_DFL)},
        {"ignored", EarlierAction(SIG_IGN)},
        {"a function of the program's own", EarlierFunction()},
    };
    static_assert(std::size(earlier) >= std::size(SignalCases));
    const TKeptHandling kept;
    QWidget window;
    // Each signal meets each earlier handling once, the others beside it
    // handled otherwise: a handling given back to the wrong signal shows.
    for (std::size_t turn = 0; turn < std::size(earlier); ++turn) {
        std::map<int, const char *> earlierOf;
        for (std::size_t i = 0; i < std::size(SignalCases); ++i) {
            const auto &[name, action] = earlier[(i + turn) % std::size(earlier)];
            ASSERT_EQ(sigaction(SignalCases[i].Signal, &action, nullptr), 0);
            earlierOf[SignalCases[i].Signal] = name;
        }
        std::vector<std::optional<THandling>> before;
        for (int signal = 1; signal < NSIG; ++signal)
            before.push_back(HandlingOf(signal));
        {
            const TCloseOnSignals closeOnSignals(window);
            for (const TSignalCase &c : SignalCases)
                EXPECT_TRUE(HandlingOf(c.Signal) != before[c.Signal - 1]) << "the window never took " << c.Name;
        }
        for (int signal = 1; signal < NSIG; ++signal) {
            const std::optional<THandling> after = HandlingOf(signal);
            const char *was = earlierOf.count(signal) ? earlierOf[signal] : "as the test program handles it";
            EXPECT_TRUE(after == before[signal - 1]) << strsignal(signal) << ", handled " << was << " before: now "
                                                     << Text(after) << ", was " << Text(before[signal - 1]);
        }
    }
}
#endif

} // namespace
