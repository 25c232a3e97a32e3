// The built program run as a child process, headless, end to end.
#include "platform/regional_settings.h"
#include "platform/sim/reading_generator.h"
#include "readings/csv_writer.h"
#include "readings/reading_columns.h"
#include "readings/reading_row.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct TRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};

TRun RunProgram(const QStringList &args, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(READOUT_PROGRAM_PATH), args);
    TRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.crashed = true;
    }
    run.crashed = run.crashed || process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ToBytes(const TMeterMessage &message)
{
    return QByteArray(reinterpret_cast<const char *>(message.data()), static_cast<qsizetype>(message.size()));
}

TReading ToReading(const TGeneratedReading &generated)
{
    TReading reading;
    std::memcpy(reading.Range.data(), generated.Range.data(), std::min(generated.Range.size(), reading.Range.size()));
    std::memcpy(reading.Serial.data(), generated.Serial.data(),
                std::min(generated.Serial.size(), reading.Serial.size()));
    for (std::size_t i = 0; i < 4; ++i)
        std::memcpy(reading.IR[i].data(), generated.IR[i].data(), std::min(generated.IR[i].size(), reading.IR[i].size()));
    reading.Moisture = generated.Moisture;
    reading.Temperature = generated.Temperature;
    reading.Protein = generated.Protein;
    reading.Oil = generated.Oil;
    reading.Water = generated.Water;
    reading.Starch = generated.Starch;
    return reading;
}

std::vector<QByteArray> Lines(const QByteArray &bytes)
{
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf("\r\n", start);
        if (end < 0) {
            lines.push_back(bytes.mid(start));  // an unfinished line
            break;
        }
        lines.push_back(bytes.mid(start, end - start + 2));
        start = end + 2;
    }
    return lines;
}

class MessagesToCsv : public testing::TestWithParam<bool> {};

TEST_P(MessagesToCsv, WritesTheHeaderAndOneRowPerParsedMessageAndNothingElse)
{
    const bool clb = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TReadingGenerator generator(7);
    std::vector<TGeneratedReading> readings;
    QByteArray messages;
    for (int i = 0; i < 3; ++i) {
        readings.push_back(generator.Next());
        messages += ToBytes(TReadingGenerator::Format(readings.back()));
        if (i == 1)
            messages += QByteArray(136, 'x');  // a message that does not parse: dropped
    }
    const QString messagesPath = dir.filePath("messages.bin");
    const QString csvPath = dir.filePath("readings.csv");
    WriteAll(messagesPath, messages);

    QStringList args;
    if (clb)
        args << "clb";
    args << "--headless" << "--sim-messages" << messagesPath << "--csv" << csvPath;
    const TRun run = RunProgram(args);
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    // The child reads the same environment, so the same regional settings.
    const TRegionalSettings settings = ReadUserRegionalSettings();
    const std::string separator = CsvListSeparator(settings);
    const int columns = ColumnCountFor(clb);
    TReadingsTable header(columns);
    SetUpReadingsTable(header, clb);

    const QByteArray file = ReadAll(csvPath);
    const std::vector<QByteArray> lines = Lines(file);
    ASSERT_EQ(lines.size(), readings.size() + 1) << file.toStdString();
    EXPECT_EQ(lines[0].toStdString(), CsvLine(header, 0, columns, separator));
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const std::vector<std::string> cells =
            ReadingRowCells(static_cast<int>(i + 1), ToReading(readings[i]), clb, settings);
        std::string line = lines[i + 1].toStdString();
        ASSERT_TRUE(line.size() >= 2 && line.substr(line.size() - 2) == "\r\n");
        line.resize(line.size() - 2);
        std::vector<std::string> fields;
        for (std::size_t at = 0;;) {
            const std::size_t next = line.find(separator, at);
            fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
            if (next == std::string::npos)
                break;
            at = next + separator.size();
        }
        ASSERT_EQ(fields.size(), static_cast<std::size_t>(columns)) << line;
        for (int column = 0; column < columns; ++column) {
            if (column == rcDateTime)
                EXPECT_FALSE(fields[column].empty());  // the time of the run
            else
                EXPECT_EQ(fields[column], cells[column]) << "row " << i + 1 << " column " << column;
        }
    }
    // Standard output carries the same rows, without the header.
    EXPECT_EQ(run.out, file.mid(lines[0].size()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, MessagesToCsv, testing::Values(false, true));

TEST(HeadlessProgram, StopSignalMidRunLeavesACompleteFile)
{
#if defined(_WIN32)
    GTEST_SKIP() << "a Windows headless run stops on its console's Ctrl+C or close, which a test cannot send to a "
                    "child that shares no console with it; QProcess::terminate only closes windows";
#endif
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csvPath = dir.filePath("run.csv");
    QProcess process;
    process.start(QStringLiteral(READOUT_PROGRAM_PATH), {"--simulate", "--headless", "--csv", csvPath});
    ASSERT_TRUE(process.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (Lines(ReadAll(csvPath)).size() < 4 && waited.elapsed() < 30000)
        QThread::msleep(20);
    process.terminate();  // SIGTERM
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    const QByteArray file = ReadAll(csvPath);
    const std::vector<QByteArray> lines = Lines(file);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_TRUE(lines[0].startsWith("   No.")) << lines[0].toStdString();
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].endsWith("\r\n")) << "line " << i << " is cut short";
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(QByteArray::number(static_cast<qulonglong>(i)))) << lines[i].toStdString();
}

struct TBadCase {
    QStringList args;
    QByteArray named;  // what the message names
};

class BadStart : public testing::TestWithParam<TBadCase> {};

TEST_P(BadStart, ExitsWithTwoAndOneLineNamingTheProblemBeforeAnythingRuns)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteAll(dir.filePath("short.bin"), QByteArray(200, 'x'));
    WriteAll(dir.filePath("empty.bin"), QByteArray());
    WriteAll(dir.filePath("existing.csv"), "keep me\r\n");
    QStringList args;
    for (const QString &arg : GetParam().args)
        args << QString(arg).replace("DIR", dir.path());

    const TRun run = RunProgram(args);
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(GetParam().named)) << run.err.toStdString();
    EXPECT_EQ(ReadAll(dir.filePath("existing.csv")), "keep me\r\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("missing-folder")));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BadStart,
    testing::Values(TBadCase{{"--frobnicate"}, "--frobnicate"},
                    TBadCase{{"--headless", "--count", "0"}, "--count"},
                    TBadCase{{"--csv", "DIR/a.csv"}, "--headless"},
                    TBadCase{{"--headless", "--sim-messages", "DIR/none.bin"}, "--sim-messages"},
                    TBadCase{{"--headless", "--sim-messages", "DIR/empty.bin"}, "--sim-messages"},
                    TBadCase{{"--headless", "--sim-messages", "DIR/short.bin"}, "--sim-messages"},
                    TBadCase{{"--sim-messages", "DIR/short.bin"}, "--sim-messages"},
                    TBadCase{{"--headless", "--simulate", "--csv", "DIR/missing-folder/a.csv"}, "--csv"},
                    TBadCase{{"--headless", "--simulate", "--csv", "DIR/existing.csv"}, "--csv"},
                    TBadCase{{"--meter", "tcp:nohost"}, "--meter"}));

TEST(HeadlessProgram, WithoutARadioSaysSoAndExitsWithThree)
{
    const TRun run = RunProgram({"--headless", "--sim-no-radio"});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 3);
    // A message line ends as text lines do on the system: CR LF on Windows.
    EXPECT_EQ(QByteArray(run.err).replace("\r\n", "\n"), "BT module not enabled or not installed\n");
    EXPECT_TRUE(run.out.isEmpty());
}

TEST(HeadlessProgram, HelpListsEveryOptionAndExitsWithZero)
{
    const TRun run = RunProgram({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char *option : {"clb", "--simulate", "--sim-messages", "--sim-no-radio", "--meter", "--headless",
                               "--count", "--csv", "--report-pdf", "--help"})
        EXPECT_TRUE(run.out.contains(option)) << option;
}

} // namespace
