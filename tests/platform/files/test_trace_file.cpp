// SPDX-License-Identifier: Apache-2.0
#include "platform/files/atomic_file.h"
#include "platform/files/trace_file.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/trace_lines.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(TraceFile, AppendsTimedLinesAfterWhatTheFileHeldAndEachCanBeReadAtOnce)
{
    TScratchFolder folder("trace-file-test");
    const std::string path = folder.File("trace.txt");
    std::ofstream(path, std::ios::binary) << "an earlier run\n";

    TTraceFile trace(path);
    trace.Write("discovery started");
    // Read while the trace is still open: nothing waits in a buffer of ours.
    std::vector<std::string> lines = ReadTraceLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "an earlier run");
    trace.Write("");
    trace.Write("received 136 bytes (136 of 136)");
    // A system's text may end in a line break: the step still takes one line.
    trace.Write("connection failed: refused.\r\nTry again.\r\n");
    lines = ReadTraceLines(path);
    lines.erase(lines.begin());
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string &line : lines)
        EXPECT_EQ(line[12], ' ') << line;  // "HH:MM:SS.mmm "
    EXPECT_EQ(lines[0].substr(13), "discovery started");
    EXPECT_EQ(lines[1].substr(13), "");
    EXPECT_EQ(lines[2].substr(13), "received 136 bytes (136 of 136)");
    EXPECT_EQ(lines[3].substr(13), "connection failed: refused. Try again.");
    EXPECT_FALSE(trace.Failed());
}

TEST(TraceFile, AFileThatCannotBeMadeFailsAtOnceNamingIt)
{
    TScratchFolder folder("trace-file-test");
    for (const std::string &path : {folder.File("no such folder/trace.txt"), folder.Path().string()}) {
        SCOPED_TRACE(path);
        try {
            TTraceFile trace(path);
            ADD_FAILURE() << "opened";
        } catch (const EFileError &error) {
            EXPECT_EQ(std::string(error.what()).rfind("Cannot create file \"" + path + "\". ", 0), 0u)
                << error.what();
        }
    }
}

TEST(TraceFile, LinesOfManyThreadsStayWhole)
{
    TScratchFolder folder("trace-file-test");
    const std::string path = folder.File("trace.txt");
    constexpr int Threads = 4, Lines = 200;
    {
        TTraceFile trace(path);
        std::vector<std::thread> writers;
        for (int t = 0; t < Threads; ++t)
            writers.emplace_back([&trace, t] {
                for (int i = 0; i < Lines; ++i)
                    trace.Write("thread " + std::to_string(t) + " line " + std::to_string(i) + std::string(100, '.'));
            });
        for (std::thread &writer : writers)
            writer.join();
    }
    const std::vector<std::string> texts = TraceTexts(path);
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(Threads * Lines));
    std::vector<int> next(Threads, 0);
    for (const std::string &text : texts) {
        int thread = -1, line = -1;
        ASSERT_EQ(std::sscanf(text.c_str(), "thread %d line %d", &thread, &line), 2) << text;
        ASSERT_TRUE(thread >= 0 && thread < Threads);
        EXPECT_EQ(line, next[static_cast<std::size_t>(thread)]++) << "each thread's lines in its order";
        EXPECT_EQ(text.size(), text.find('.') + 100) << text;
    }
}

TEST(TraceFile, ALineThatCannotBeWrittenIsReportedOnceAndTheTraceStops)
{
#ifdef _WIN32
    GTEST_SKIP() << "no device here that is always full";
#else
    // A file that takes no byte: every write fails with "No space left on device".
    TTraceFile trace("/dev/full");
    std::vector<std::string> reports;
    trace.SetFailureHandler([&](const std::string &message) { reports.push_back(message); });
    trace.Write("discovery started");
    trace.Write("discovery ended");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("Cannot write file \"/dev/full\". ", 0), 0u) << reports[0];
    EXPECT_TRUE(trace.Failed());
#endif
}

} // namespace
