// SPDX-License-Identifier: Apache-2.0
// The stand-alone simulated meter reads its options with the program's own
// option reader: both forms of an option, and for a bad command line a message
// naming the problem, the usage and exit status 2.
#include "link/meter_wire.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

constexpr int WaitMs = 20000;

struct TToolCase {
    QStringList Args;
    int ExitCode;
    QString Message;  // the line on standard error, or for status 0 a text of the usage
};

TEST(SimMeterTool, AnswersItsCommandLineWithUsageOrAMessageAndItsExitStatus)
{
    const QString size = QString::number(ReadingMessageSize);
    const QString overSize = QString::number(ReadingMessageSize + 1);
    const TToolCase cases[] = {
        {{"--help"}, 0, "usage: sim_meter"},
        {{"-h"}, 0, "usage: sim_meter"},
        {{"--seed", "3", "--help"}, 0, "usage: sim_meter"},
        {{"--port", "70000"}, 2, "sim_meter: --port wants a whole number from 0 to 65535, not '70000'"},
        {{"--short=" + overSize}, 2, "sim_meter: --short wants a whole number from 0 to " + size + ", not '" + overSize + "'"},
        {{"--pieces", "40,x"}, 2, "sim_meter: --pieces wants a whole number from 0 to " + size + ", not 'x'"},
        {{"--behaviour", "loud"}, 2, "sim_meter: unknown behaviour 'loud'"},
        {{"--colour", "red"}, 2, "sim_meter: unknown option --colour"},
        {{"serve"}, 2, "sim_meter: unknown option serve"},
        {{"--port"}, 2, "sim_meter: --port needs a value"},
        {{"--file", "--seed", "3"}, 2, "sim_meter: --file needs a value, not the option --seed"},
    };
    for (const TToolCase &c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        QProcess tool;
        tool.start(QStringLiteral(READOUT_SIM_METER_PATH), c.Args);
        ASSERT_TRUE(tool.waitForFinished(WaitMs));
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tool.exitCode(), c.ExitCode);
        const QString out = QString::fromUtf8(tool.readAllStandardOutput());
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        if (c.ExitCode == 0) {
            EXPECT_TRUE(out.startsWith(c.Message)) << out.toStdString();
            EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        } else {
            EXPECT_EQ(err.section('\n', 0, 0).remove('\r'), c.Message);
            EXPECT_TRUE(err.contains("usage: sim_meter")) << "no usage after the message";
            EXPECT_TRUE(out.isEmpty()) << out.toStdString();
        }
    }
}

#ifndef _WIN32
TEST(SimMeterTool, ServesWithOptionsInBothFormsUntilTerminated)
{
    QProcess tool;
    tool.start(QStringLiteral(READOUT_SIM_METER_PATH), {"--port=0", "--behaviour", "silent", "--delay-ms=5"});
    ASSERT_TRUE(tool.waitForReadyRead(WaitMs)) << tool.readAllStandardError().toStdString();
    EXPECT_TRUE(tool.readLine().startsWith("sim_meter: listening on 127.0.0.1:"));
    tool.terminate();
    ASSERT_TRUE(tool.waitForFinished(WaitMs));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_TRUE(tool.readAllStandardOutput().startsWith("sim_meter: served 0 messages on 0 connections"));
}
#endif

}  // namespace
