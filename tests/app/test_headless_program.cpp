// SPDX-License-Identifier: Apache-2.0
// The built program run as a child process, headless, end to end.
#include "app/command_line.h"
#include "link/parse_reading.h"
#include "link/meter_wire.h"
#include "platform/text/regional_settings.h"
#include "sim/reading_generator.h"
#include "sim/simulated_meter.h"
#include "readings/csv_writer.h"
#include "readings/reading_columns.h"
#include "readings/reading_row.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tiny_disk.h"
#include "tests/support/trace_lines.h"
#include "tests/support/wait_until.h"
#include "tests/app/program_run.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {


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

// The reading the program takes from the generated reading's message.
TReading ToReading(const TGeneratedReading &generated)
{
    TMeterMessage message = TReadingGenerator::Format(generated);
    return ParseReading(message.data(), static_cast<std::int32_t>(message.size()), U'.');
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
            messages += QByteArray(ReadingMessageSize, 'x');  // a message that does not parse: dropped
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
    StartProgram(process, {"--simulate", "--headless", "--csv", csvPath});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(WaitUntil([&] { return Lines(ReadAll(csvPath)).size() >= 4; }, std::chrono::seconds(30)))
        << "no three rows in the file";
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

#if !defined(_WIN32)
// A loopback listener whose queue is full: a connection to it is neither made
// nor refused, as with a meter that never answers.
class TFullListener {
public:
    TFullListener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        FListener = socket(AF_INET, SOCK_STREAM, 0);
        socklen_t length = sizeof(address);
        if (FListener < 0 || bind(FListener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
            listen(FListener, 0) != 0 || getsockname(FListener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        Port = ntohs(address.sin_port);
        // Connections nobody accepts, until one is no longer taken into the queue.
        for (int i = 0; i < 8; ++i) {
            const int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(filler, reinterpret_cast<sockaddr *>(&address), length);
            FFillers.push_back(filler);
        }
    }
    ~TFullListener()
    {
        for (const int filler : FFillers)
            close(filler);
        if (FListener >= 0)
            close(FListener);
    }
    TFullListener(const TFullListener &) = delete;
    TFullListener &operator=(const TFullListener &) = delete;

    std::uint16_t Port = 0;

private:
    int FListener = -1;
    std::vector<int> FFillers;
};
#endif

// However the stop finds the run, held in a search or in a connection that is
// never answered, the run ends within 4.5 s, as Windows demands of a console
// program, with its files whole.
TEST(HeadlessProgram, StopEndsTheRunWithinFourAndAHalfSecondsInEveryState)
{
#if defined(_WIN32)
    GTEST_SKIP() << "a test cannot send a console's Ctrl+C to a child that shares no console with it";
#else
    TFullListener listener;
    ASSERT_NE(listener.Port, 0) << std::strerror(errno);
    const struct {
        const char *State;
        QStringList Args;
        const char *Waymark;  // in the trace once the state is reached; empty: a moment after the start
        int Signal;
    } cases[] = {
        {"held in a search", {"--sim-search-ms", "600000"}, "", SIGINT},
        {"a connection never answered", {"--meter", QString("tcp:127.0.0.1:%1").arg(listener.Port)}, "connecting to",
         SIGTERM},
    };
    for (const auto &stop : cases) {
        SCOPED_TRACE(stop.State);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString csvPath = dir.filePath("run.csv");
        const QString tracePath = dir.filePath("trace.txt");
        QProcess process;
        StartProgram(process, QStringList{"--headless", "--csv", csvPath, "--report-pdf", dir.filePath("r.pdf"),
                                          "--trace", tracePath} + stop.Args);
        ASSERT_TRUE(process.waitForStarted());
        if (*stop.Waymark) {
            ASSERT_TRUE(WaitUntil([&] { return ReadAll(tracePath).contains(stop.Waymark); }, std::chrono::seconds(30)))
                << "no \"" << stop.Waymark << "\" in the trace: " << ReadAll(tracePath).toStdString();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_EQ(process.state(), QProcess::Running) << process.readAllStandardError().toStdString();
        QElapsedTimer sinceStop;
        sinceStop.start();
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), stop.Signal), 0);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_LT(sinceStop.elapsed(), 4500);
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const std::vector<QByteArray> lines = Lines(ReadAll(csvPath));
        ASSERT_EQ(lines.size(), 1u) << "the header alone";
        EXPECT_TRUE(lines[0].startsWith("   No.") && lines[0].endsWith("\r\n")) << lines[0].toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                  (QStringList{"r.pdf", "run.csv", "trace.txt"}))
            << "a report, and no temporary file";
    }
#endif
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
    QDir(dir.path()).mkdir("folder");
#ifndef _WIN32
    ASSERT_EQ(mkfifo(dir.filePath("fifo").toLocal8Bit().constData(), 0600), 0);
    // One message more than the limit allows, without taking the space.
    WriteAll(dir.filePath("huge.bin"), QByteArray());
    ASSERT_EQ(truncate(QFile::encodeName(dir.filePath("huge.bin")).constData(), static_cast<off_t>(MaxMessageFileBytes + ReadingMessageSize)), 0);
#endif
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    QStringList args;
    for (const QString &arg : GetParam().args)
        args << QString(arg).replace("DIR", dir.path());

    const TRun run = RunProgram(args);
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    const QByteArray named = QString::fromUtf8(GetParam().named).replace("DIR", dir.path()).toUtf8();
    EXPECT_TRUE(run.err.contains(named)) << named.toStdString() << " not in " << run.err.toStdString();
    EXPECT_EQ(ReadAll(dir.filePath("existing.csv")), "keep me\r\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("missing-folder")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden),
              before)
        << "a file was left behind";
}

std::vector<TBadCase> BadStartCases()
{
    return {
        TBadCase{{"--frobnicate"}, "--frobnicate"},
        TBadCase{{"--headless", "--count", "0"}, "--count"},
        TBadCase{{"--csv", "DIR/a.csv"}, "--headless"},
        TBadCase{{"--headless", "--sim-messages", "DIR/none.bin"}, "--sim-messages"},
        TBadCase{{"--headless", "--sim-messages", "DIR/empty.bin"}, "--sim-messages"},
        TBadCase{{"--headless", "--sim-messages", "DIR/short.bin"}, "--sim-messages"},
        TBadCase{{"--sim-messages", "DIR/short.bin"}, "--sim-messages"},
        TBadCase{{"--headless", "--simulate", "--csv", "DIR/missing-folder/a.csv"}, "--csv"},
        TBadCase{{"--headless", "--simulate", "--csv", "DIR/existing.csv"}, "--csv"},
        TBadCase{{"--meter", "tcp:nohost"}, "--meter"},
        // A value that is the next option is a missing value, not a file name.
        TBadCase{{"--headless", "--simulate", "--csv", "--report-pdf", "DIR/r.pdf"}, "--csv"},
        TBadCase{{"--headless", "--simulate", "--report-pdf", "DIR/missing-folder/r.pdf"}, "--report-pdf"},
        TBadCase{{"--headless", "--simulate", "--report-pdf", "DIR/existing.csv"}, "existing.csv"},
        TBadCase{{"--headless", "--simulate", "--report-pdf", "DIR/folder"}, "--report-pdf"},
        TBadCase{{"--headless", "--simulate", "--csv", "DIR/a.csv", "--report-pdf", "DIR/a.csv"},
                 "--report-pdf"},
        TBadCase{{"--headless", "--simulate", "--csv", "DIR/a.csv", "--report-pdf", "DIR/folder/../a.csv"},
                 "--report-pdf"},
        TBadCase{{"--headless", "--sim-messages", "DIR/folder"}, "DIR/folder"},
        // A trace that cannot be made stops the window, a headless run and a scan alike.
        TBadCase{{"--headless", "--simulate", "--trace", "DIR/missing-folder/trace.txt"}, "--trace"},
        TBadCase{{"--simulate", "--trace", "DIR/folder"}, "DIR/folder"},
        TBadCase{{"--scan", "--simulate", "--trace", "DIR/missing-folder/trace.txt"}, "--trace"},
#ifndef _WIN32
        TBadCase{{"--headless", "--simulate", "--report-pdf", "DIR/fifo"}, "fifo"},
        TBadCase{{"--headless", "--simulate", "--report-pdf", "/dev/null"}, "/dev/null"},
        TBadCase{{"--headless", "--sim-messages", "/dev/zero"}, "/dev/zero"},
        TBadCase{{"--headless", "--sim-messages", "DIR/fifo"}, "DIR/fifo"},
        TBadCase{{"--headless", "--sim-messages", "DIR/huge.bin"}, "DIR/huge.bin"},
#endif
    };
}

INSTANTIATE_TEST_SUITE_P(CommandLines, BadStart, testing::ValuesIn(BadStartCases()));

TEST(HeadlessProgram, WithoutARadioSaysSoAndExitsWithThree)
{
    const TRun run = RunProgram({"--headless", "--sim-no-radio"});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 3);
    // A message line ends as text lines do on the system: CR LF on Windows.
    EXPECT_EQ(QByteArray(run.err).replace("\r\n", "\n"), "BT module not enabled or not installed\n");
    EXPECT_TRUE(run.out.isEmpty());
}

// --help and --version answer on standard output and exit, with no display at
// hand and starting nothing else the command line asks for.
TEST(HeadlessProgram, HelpAndVersionAnswerWithoutADisplayAndExitWithZero)
{
    const QByteArray help = QByteArray::fromStdString(CommandLineHelp());
    const QByteArray version = "meter-readout " READOUT_VERSION "\n";
    const struct {
        QStringList Args;
        QByteArray Out;
    } cases[] = {
        {{"--version"}, version},
        {{"clb", "--simulate", "--version"}, version},
        {{"--scan", "--simulate", "--version"}, version},
        {{"--headless", "--simulate", "--count", "3", "--version"}, version},
        {{"--help"}, help},
        {{"--version", "--help"}, help},
    };
    QProcessEnvironment environment = ChildEnvironment();
    for (const char *display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(display);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const TRun run = RunProgramIn(environment, c.Args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.crashed);
        EXPECT_EQ(QByteArray(run.out).replace("\r\n", "\n"), c.Out);
        EXPECT_EQ(run.err, QByteArray());
    }
}

// ---- nothing read is lost -----------------------------------------------------

// Generated readings as a --sim-messages file.
QByteArray GeneratedMessages(int count)
{
    TReadingGenerator generator(11);
    QByteArray messages;
    for (int i = 0; i < count; ++i)
        messages += ToBytes(TReadingGenerator::Format(generator.Next()));
    return messages;
}

// A message whose six numbers are huge: each row of it is about two kilobytes,
// so a page of a tiny disk fills after two rows.
QByteArray HugeMessage()
{
    QByteArray message("x:123456\r\nx:AB1\r\nx:1E290\r\nx:1E290\r\nx:101\r\nx:102\r\nx:103\r\nx:104\r\n"
                       "B1E290%T1E290%W1E290%S1E290%\r\n");
    message.append(QByteArray(static_cast<qsizetype>(ReadingMessageSize) - message.size(), '\0'));
    return message;
}

QStringList JournalFiles(const QString &folder)
{
    return QDir(folder).entryList({"readings-*.csv"}, QDir::Files, QDir::Name);
}

struct TJournalCase {
    const char *What;
    QStringList Args;        // DIR stands for the test's folder
    QString JournalFolder;   // where the journal must be; empty: nowhere
};

class HeadlessJournal : public testing::TestWithParam<TJournalCase> {};

TEST_P(HeadlessJournal, HoldsExactlyTheCsvFilesBytesWhereTheCommandLineSays)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString defaultFolder = DataHome() + "/meter-readout/journal";
    QDir(defaultFolder).removeRecursively();
    WriteAll(dir.filePath("messages.bin"), GeneratedMessages(3));
    QStringList args{"--headless", "--sim-messages", dir.filePath("messages.bin"), "--csv", dir.filePath("a.csv")};
    for (const QString &arg : GetParam().Args)
        args << QString(arg).replace("DIR", dir.path());

    const TRun run = RunProgram(args);
    ASSERT_FALSE(run.crashed);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    const QString expected = QString(GetParam().JournalFolder).replace("DIR", dir.path()).replace("DATA", defaultFolder);
    for (const QString &folder : {defaultFolder, dir.filePath("journal")}) {
        const QStringList files = JournalFiles(folder);
        if (folder != expected) {
            EXPECT_TRUE(files.isEmpty()) << folder.toStdString();
            continue;
        }
        ASSERT_EQ(files.size(), 1) << folder.toStdString();
        EXPECT_TRUE(QRegularExpression("^readings-\\d{8}-\\d{6}\\.csv$").match(files[0]).hasMatch())
            << files[0].toStdString();
        EXPECT_EQ(ReadAll(folder + "/" + files[0]), ReadAll(dir.filePath("a.csv")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, HeadlessJournal,
    testing::Values(TJournalCase{"per-user data folder", {}, "DATA"},
                    TJournalCase{"--journal-dir", {"--journal-dir", "DIR/journal"}, "DIR/journal"},
                    TJournalCase{"--no-journal", {"--no-journal"}, ""}),
    [](const testing::TestParamInfo<TJournalCase> &info) {
        return QString(info.param.What).replace(QRegularExpression("[^A-Za-z]"), "_").toStdString();
    });

TEST(HeadlessProgram, ARowOnStandardOutputIsOnTheDiskEvenWhenKilledAtOnce)
{
#if defined(_WIN32)
    GTEST_SKIP() << "SIGKILL is a POSIX signal";
#endif
    // The kill lands in the instant after the row was printed, when a program
    // that printed first and wrote afterwards has not written it yet.
    for (int attempt = 1; attempt <= 4; ++attempt) {
        SCOPED_TRACE(attempt);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QProcess process;
        StartProgram(process, {"--simulate", "--headless", "--csv", dir.filePath("a.csv"), "--journal-dir",
                               dir.filePath("journal")});
        ASSERT_TRUE(process.waitForStarted());
        QByteArray printed;
        QElapsedTimer waited;
        waited.start();
        while (!printed.contains("\r\n") && waited.elapsed() < 30000) {
            process.waitForReadyRead(100);
            printed += process.readAllStandardOutput();
        }
        process.kill();  // SIGKILL
        process.waitForFinished(10000);
        printed += process.readAllStandardOutput();
        ASSERT_TRUE(printed.contains("\r\n")) << "no row printed";
        const QByteArray row = printed.left(printed.indexOf("\r\n") + 2);

        const QByteArray csv = ReadAll(dir.filePath("a.csv"));
        EXPECT_TRUE(csv.contains(row)) << "printed " << row.toStdString() << "but the CSV file holds\n"
                                       << csv.toStdString();
        const QStringList journals = JournalFiles(dir.filePath("journal"));
        ASSERT_EQ(journals.size(), 1);
        EXPECT_TRUE(ReadAll(dir.filePath("journal/" + journals[0])).contains(row));
    }
}

class HeadlessOnATinyDisk : public TinyDiskTest {};

TEST_F(HeadlessOnATinyDisk, AFullDiskLeavesTheCsvFileWithWholeLinesAndEndsWithOne)
{
    disk.FillLeaving(1);
    const QString csvPath = QString::fromStdString(folder.File("disk/a.csv"));
    const QString messagesPath = QString::fromStdString(folder.File("messages.bin"));
    WriteAll(messagesPath, HugeMessage().repeated(6));

    const TRun run = RunProgram({"--headless", "--sim-messages", messagesPath, "--csv", csvPath, "--no-journal"});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Cannot write file \"" + csvPath.toUtf8() + "\"")) << run.err.toStdString();
    const QByteArray csv = ReadAll(csvPath);
    const std::vector<QByteArray> lines = Lines(csv);
    ASSERT_GE(lines.size(), 2u) << "the header and a row fit";
    EXPECT_LT(lines.size(), 7u) << "the disk never filled";
    EXPECT_TRUE(csv.endsWith("\r\n")) << "half a row at the end";
    // Every row printed is in the file, and nothing more.
    EXPECT_EQ(run.out, csv.mid(lines[0].size()));
}

TEST_F(HeadlessOnATinyDisk, AFullDiskForTheJournalIsReportedOnceAndTheRunGoesOn)
{
    disk.FillLeaving(1);
    const QString journalFolder = QString::fromStdString(folder.File("disk/journal"));
    const QString csvPath = QString::fromStdString(folder.File("a.csv"));
    const QString messagesPath = QString::fromStdString(folder.File("messages.bin"));
    WriteAll(messagesPath, HugeMessage().repeated(6));

    const TRun run = RunProgram({"--headless", "--sim-messages", messagesPath, "--csv", csvPath, "--journal-dir",
                                 journalFolder});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("journal is off")) << run.err.toStdString();
    const QByteArray csv = ReadAll(csvPath);
    ASSERT_EQ(Lines(csv).size(), 7u) << "every reading reached the CSV file";
    const QStringList journals = JournalFiles(journalFolder);
    ASSERT_EQ(journals.size(), 1);
    const QByteArray journal = ReadAll(journalFolder + "/" + journals[0]);
    EXPECT_TRUE(csv.startsWith(journal)) << "the journal is not a whole-line beginning of the readings";
    EXPECT_TRUE(journal.endsWith("\r\n"));
    EXPECT_LT(journal.size(), csv.size());
}

TEST_F(HeadlessOnATinyDisk, ACsvFileWithoutRoomForItsHeaderIsRemovedAgain)
{
    disk.FillLeaving(0);
    const QString csvPath = QString::fromStdString(folder.File("disk/a.csv"));
    const TRun run = RunProgram({"--headless", "--simulate", "--csv", csvPath, "--no-journal"});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("--csv")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_FALSE(QFile::exists(csvPath));
}

TEST_F(HeadlessOnATinyDisk, AReportThatDoesNotFitIsNeverLeftCutOrEmpty)
{
    disk.FillLeaving(2);  // less than a report with its fonts needs
    const QString pdfPath = QString::fromStdString(folder.File("disk/report.pdf"));
    const QString messagesPath = QString::fromStdString(folder.File("messages.bin"));
    WriteAll(messagesPath, GeneratedMessages(3));

    const TRun run = RunProgram({"--headless", "--sim-messages", messagesPath, "--report-pdf", pdfPath, "--no-journal"});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("--report-pdf")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(pdfPath.toUtf8())) << run.err.toStdString();
    EXPECT_EQ(QDir(QString::fromStdString(folder.File("disk"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{".filler"})
        << "a cut report or its temporary file was left behind";
}

// ---- seeing what the link does: --scan and --trace -------------------------

QByteArray Unixed(QByteArray text)
{
    return text.replace("\r\n", "\n");
}

TEST(ScanProgram, ListsWhatDiscoverySeesAndExitsByWhetherTheMeterIsAmongIt)
{
    const struct {
        const char *Label;
        QStringList Args;
        int Exit;
        QByteArray Out;  // all of standard output
        QByteArray Err;
    } cases[] = {
        {"the simulated computer",
         {"--scan", "--simulate"},
         0,
         "Searching every radio for \"Dravel-GLAX20k\" as acquisition does (about 4 s per radio) ...\n"
         "radio 1: \"simulated radio 1\" 0A:5E:00:00:00:01\n"
         "  no device listed\n"
         "radio 2: \"simulated radio 2\" 0A:5E:00:00:00:02\n"
         "  --meter bt:00:1A:7D:DA:71:02  not remembered  \"dravel-glax20k\"  <- near miss: letter case differs; "
         "its --meter option takes it\n"
         "  --meter bt:00:1A:7D:DA:71:03  paired          \"Phone\"\n"
         "  --meter bt:00:A4:C1:38:0F:2B  not remembered  \"Dravel-GLAX20k\"  <- the meter\n"
         "The meter \"Dravel-GLAX20k\" is listed.\n",
         ""},
        {"the look-alike pinned by its address, in lower case",
         {"--scan", "--simulate", "--meter", "bt:00:1a:7d:da:71:02"},
         0,
         "Searching every radio for the device at 00:1A:7D:DA:71:02 as acquisition does (about 4 s per radio) ...\n"
         "radio 1: \"simulated radio 1\" 0A:5E:00:00:00:01\n"
         "  no device listed\n"
         "radio 2: \"simulated radio 2\" 0A:5E:00:00:00:02\n"
         "  --meter bt:00:1A:7D:DA:71:02  not remembered  \"dravel-glax20k\"  <- the meter: its address is pinned\n"
         "  --meter bt:00:1A:7D:DA:71:03  paired          \"Phone\"\n"
         "  --meter bt:00:A4:C1:38:0F:2B  not remembered  \"Dravel-GLAX20k\"  <- named as the meter, but another "
         "address is pinned\n"
         "The pinned device 00:1A:7D:DA:71:02 is listed.\n",
         ""},
        {"a pinned address that nothing lists",
         {"--scan", "--simulate", "--meter", "bt:00:00:00:00:00:01"},
         1,
         "Searching every radio for the device at 00:00:00:00:00:01 as acquisition does (about 4 s per radio) ...\n"
         "radio 1: \"simulated radio 1\" 0A:5E:00:00:00:01\n"
         "  no device listed\n"
         "radio 2: \"simulated radio 2\" 0A:5E:00:00:00:02\n"
         "  --meter bt:00:1A:7D:DA:71:02  not remembered  \"dravel-glax20k\"  <- near miss: letter case differs\n"
         "  --meter bt:00:1A:7D:DA:71:03  paired          \"Phone\"\n"
         "  --meter bt:00:A4:C1:38:0F:2B  not remembered  \"Dravel-GLAX20k\"  <- named as the meter, but another "
         "address is pinned\n"
         "The pinned device 00:00:00:00:00:01 is not listed.\n",
         ""},
        {"no radio, and options the scan does not use",
         {"--scan", "--sim-no-radio", "--headless", "--count", "2", "--csv", "unused.csv"},
         3,
         "Searching every radio for \"Dravel-GLAX20k\" as acquisition does (about 4 s per radio) ...\n",
         "BT module not enabled or not installed\n"},
        {"a meter behind a TCP bridge",
         {"--scan", "--meter", "tcp:127.0.0.1:5000"},
         0,
         "tcp:127.0.0.1:5000  the meter, through a serial-to-network bridge: no radio to search\n",
         ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        const TRun run = RunProgram(c.Args);
        ASSERT_FALSE(run.crashed);
        EXPECT_EQ(run.exitCode, c.Exit) << run.err.toStdString();
        EXPECT_EQ(Unixed(run.out).toStdString(), c.Out.toStdString());
        EXPECT_EQ(Unixed(run.err).toStdString(), c.Err.toStdString());
        EXPECT_FALSE(QFile::exists("unused.csv"));
    }
}

TEST(TraceProgram, AHeadlessRunTracesEachStepAndWhatCameOfEachMessage)
{
    TScratchFolder folder("trace-test");
    const QString messagesPath = QString::fromStdString(folder.File("messages.bin"));
    const std::string tracePath = folder.File("trace.txt");
    QByteArray unparsable = "x:1\r\nx:2\r\nx:3\r\nx:4\r\nx:5\r\nx:6\r\nx:7\r\nB1%T2%W3%S4%";  // seven colons
    unparsable.resize(ReadingMessageSize, '\0');
    WriteAll(messagesPath, GeneratedMessages(1) + unparsable + GeneratedMessages(1));
    WriteFileContents(tracePath, "23:59:59.999 an earlier trace\n");

    const QStringList args = {"--headless", "--sim-messages", messagesPath, "--no-journal", "--trace",
                              QString::fromStdString(tracePath)};
    const TRun run = RunProgram(args);
    ASSERT_FALSE(run.crashed);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    const std::vector<std::string> texts = TraceTexts(tracePath);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "an earlier trace") << "a trace is appended, never overwritten";
    // The run's first line says what ran, and when: the others carry the time of day only.
    EXPECT_NE(texts[1].find(" on 2"), std::string::npos) << texts[1];
    EXPECT_NE(texts[1].find("through the simulated computer"), std::string::npos) << texts[1];
    EXPECT_NE(texts[1].find("--sim-messages"), std::string::npos) << texts[1];
    ExpectTextsInOrder(texts, {"discovery started", "meter found at 00:A4:C1:38:0F:2B", "connected", "request sent",
                               "received 136 bytes (136 of 136)", "accepted as row 1", "link closed",
                               "received 136 bytes (136 of 136)", "dropped: only 7 of the 8 colons", "link closed",
                               "accepted as row 2", "link closed"});
}

TEST(TraceProgram, ATraceThatCannotBeWrittenIsReportedOnceAndTheRunGoesOn)
{
#ifdef _WIN32
    GTEST_SKIP() << "no device here that is always full";
#else
    const TRun run = RunProgram({"--headless", "--simulate", "--count", "2", "--no-journal", "--trace", "/dev/full"});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count('\n'), 2) << "both readings came";
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith("meter-readout: --trace: Cannot write file \"/dev/full\". "))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("going on without the trace")) << run.err.toStdString();
#endif
}

TEST(TraceProgram, AScanTracesItsDiscovery)
{
    TScratchFolder folder("trace-test");
    const std::string tracePath = folder.File("trace.txt");
    const TRun run = RunProgram({"--scan", "--simulate", "--trace", QString::fromStdString(tracePath)});
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    ExpectTextsInOrder(TraceTexts(tracePath),
                       {"--scan", "discovery started",
                        "2 radios searched, 3 devices listed, meter found at 00:A4:C1:38:0F:2B; near misses: "
                        "\"dravel-glax20k\" 00:1A:7D:DA:71:02"});
}

} // namespace
