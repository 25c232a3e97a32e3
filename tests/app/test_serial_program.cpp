// SPDX-License-Identifier: Apache-2.0
// The built program on a serial port, end to end: the simulated meter serves a
// real pseudo-terminal, which the program opens once per reading cycle.
#include "sim/simulated_meter.h"
#include "tests/app/program_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/trace_lines.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

using namespace std::chrono_literals;

#ifndef _WIN32
// Holds a port as another program would: open, with its lock taken.
class THeldPort {
public:
    explicit THeldPort(const std::string &path) : FDescriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        EXPECT_GE(FDescriptor, 0) << path;
        EXPECT_EQ(::flock(FDescriptor, LOCK_EX | LOCK_NB), 0);
    }
    ~THeldPort() { ::close(FDescriptor); }
    THeldPort(const THeldPort &) = delete;
    THeldPort &operator=(const THeldPort &) = delete;

private:
    int FDescriptor;
};

struct TSerialCase {
    const char *Label;
    std::optional<TMeterBehaviour> Behaviour;  // none: no meter, the port is missing
    bool HoldPort;                             // another program holds the port
    int Rows;                                  // the rows that come (the run stops after them)
    const char *Trace;                         // what the trace must say, twice: the cycle is retried
};

TEST(SerialProgram, EachWayAPortAnswersShowsInRowsOrInTheTrace)
{
    const TSerialCase cases[] = {
        {"readings arrive", TMeterBehaviour::Answer, false, 3, "accepted as row 3"},
        {"the message in pieces", TMeterBehaviour::Pieces, false, 2, "accepted as row 2"},
        {"a silent meter", TMeterBehaviour::Silent, false, 0, "reply wait timed out"},
        {"a message cut short", TMeterBehaviour::StopShort, false, 0, "stopped short after 100 bytes"},
        {"the port disappears while open", TMeterBehaviour::CloseMidMessage, false, 0,
         "connection failed: No such file or directory"},
        {"a missing port", std::nullopt, false, 0, "connection failed: No such file or directory"},
        {"a port another program holds", TMeterBehaviour::Answer, true, 0,
         "connection failed: the port is in use by another program"},
    };
    for (const TSerialCase &c : cases) {
        SCOPED_TRACE(c.Label);
        TScratchFolder folder("serial-program");
        const std::string tracePath = folder.File("trace.txt");
        TMeterOptions options;
        options.Behaviour = c.Behaviour.value_or(TMeterBehaviour::Answer);
        options.PieceGap = 100us;
        TSimulatedMeter meter(options);
        std::string port = c.Behaviour ? meter.ServePseudoTerminal() : "/dev/pts/no-such-port";
        // A port that disappears is named through a link of the test's own: the
        // system hands a freed terminal's number to the next one made, maybe by
        // a test running beside this one, and the name would come back.
        const bool vanishes = c.Behaviour == TMeterBehaviour::CloseMidMessage;
        if (vanishes) {
            const std::string link = folder.File("port");
            ASSERT_EQ(::symlink(port.c_str(), link.c_str()), 0);
            port = link;
        }
        std::optional<THeldPort> held;
        if (c.HoldPort)
            held.emplace(port);

        QStringList args = {"--headless", "--no-journal", "--trace", QString::fromStdString(tracePath),
                            "--meter", QString::fromStdString("serial:" + port)};
        if (c.Rows > 0)
            args << "--count" << QString::number(c.Rows);
        QProcess program;
        StartProgram(program, args);
        ASSERT_TRUE(program.waitForStarted());
        if (vanishes) {
            EXPECT_TRUE(meter.WaitForEndedConnections(1, 30s)) << "the meter never closed its end";
            ::unlink(port.c_str());
        }
        EXPECT_TRUE(WaitForTraceText(tracePath, c.Trace, c.Rows > 0 ? 1 : 2, 30s)) << "no \"" << c.Trace << "\"";
        if (c.Rows == 0)
            program.terminate();  // SIGTERM: the run ends in order
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
        EXPECT_EQ(program.readAllStandardOutput().count('\n'), c.Rows);
        const std::vector<std::string> texts = TraceTexts(tracePath);
        EXPECT_LT(FindText(texts, "connecting to serial:" + port), texts.size());
    }
}

TEST(SerialProgram, AMissingPortIsRetriedAboutOnceASecond)
{
    TScratchFolder folder("serial-program");
    const std::string tracePath = folder.File("trace.txt");
    QProcess program;
    StartProgram(program, {"--headless", "--no-journal", "--trace", QString::fromStdString(tracePath), "--meter",
                           "serial:/dev/pts/no-such-port"});
    ASSERT_TRUE(program.waitForStarted());
    std::this_thread::sleep_for(2500ms);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    std::size_t attempts = 0;
    for (const std::string &text : TraceTexts(tracePath))
        attempts += text.rfind("connection failed:", 0) == 0 ? 1 : 0;
    // Not thousands of opens a second; not one attempt and then silence either.
    EXPECT_GE(attempts, 2u);
    EXPECT_LE(attempts, 4u);
}
#else
TEST(SerialProgram, EachWayAPortAnswersShowsInRowsOrInTheTrace)
{
    GTEST_SKIP() << "the Windows program is tested on a COM port that Wine maps to a pseudo-terminal";
}
#endif

} // namespace
