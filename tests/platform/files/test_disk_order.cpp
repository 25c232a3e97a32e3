// SPDX-License-Identifier: Apache-2.0
// What reaches the disk before a call returns, and in which order: on Linux
// the file probe logs the system's calls; on Windows the flushes are counted.
#include "platform/files/atomic_file.h"
#include "platform/files/durable_append_file.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>

#ifdef __linux__
#include "tests/support/file_calls.h"

#else
#include "platform/files/file_names_win32.h"
#endif

namespace {

// Called between a case's set-up and the steps that count.
using TReady = std::function<void()>;

void SaveReport(const TScratchFolder &folder, TReplace replace, const TReady &ready)
{
    TAtomicFile file;
    file.Open(folder.File("report.pdf"), replace);
    file.Write("%PDF-1.4\n");
    file.Write("%%EOF\n");
    ready();
    file.Commit();
}

#ifdef __linux__
TEST(DiskOrder, EveryPieceIsSyncedBeforeItsCallReturnsAndANameOnlyEverNamesSyncedBytes)
{
    // Each case's steps call watch.Take() where the calls that count begin.
    using TSteps = std::function<void(const TScratchFolder &folder, TFileCallWatch &watch)>;
    const struct {
        const char *Name;
        TSteps Steps;
        const char *Order;  // CallSequence's words, as a regular expression
    } cases[] = {
        {"a log's first piece takes the name once synced",
         [](const TScratchFolder &folder, TFileCallWatch &) {
             TDurableAppendFile file(folder.File("log.csv"), "No.;Moisture\r\n");
         },
         "(write ~; )+fdatasync ~; (renameat2 ~>log.csv|link ~>log.csv; unlink ~); fsync folder"},
        {"each later piece is synced before Append returns",
         [](const TScratchFolder &folder, TFileCallWatch &watch) {
             TDurableAppendFile file(folder.File("log.csv"), "No.;Moisture\r\n");
             watch.Take();
             file.Append("1;14.5\r\n");
         },
         "(write log.csv; )+fdatasync log.csv"},
        {"a piece the full disk took half of is cut off, and the cut synced",
         [](const TScratchFolder &folder, TFileCallWatch &watch) {
             TDurableAppendFile file(folder.File("log.csv"), "No.;Moisture\r\n");
             watch.Take();
             watch.FillDiskLeaving(3);
             EXPECT_THROW(file.Append("1;14.5\r\n"), EFileError);
             EXPECT_EQ(FileContents(folder.File("log.csv")), "No.;Moisture\r\n");
         },
         "write log.csv; write log.csv; ftruncate log.csv; fdatasync log.csv"},
        {"a saved file replaces the old one only once synced",
         [](const TScratchFolder &folder, TFileCallWatch &watch) {
             WriteFileContents(folder.File("report.pdf"), "the old one");
             SaveReport(folder, TReplace::Existing, [&] { watch.Take(); });
         },
         "fsync ~; rename ~>report.pdf; fsync folder"},
        {"a report that replaces nothing takes its name only once synced",
         [](const TScratchFolder &folder, TFileCallWatch &watch) {
             SaveReport(folder, TReplace::Never, [&] { watch.Take(); });
         },
         "fsync ~; (renameat2 ~>report.pdf|link ~>report.pdf; unlink ~); fsync folder"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TScratchFolder folder("disk-order-test");
        TFileCallWatch watch(folder.Path());
        c.Steps(folder, watch);
        const std::string order = watch.Take();
        EXPECT_TRUE(std::regex_match(order, std::regex(c.Order))) << order;
    }
}
#else
TEST(DiskOrder, EveryPieceAndEverySaveIsFlushedToTheDiskBeforeItsCallReturns)
{
    const struct {
        const char *Name;
        std::function<void(const TScratchFolder &folder, const TReady &ready)> Steps;
        unsigned long long Flushes;
    } cases[] = {
        {"a log's first piece, before it takes the name",
         [](const TScratchFolder &folder, const TReady &ready) {
             ready();
             TDurableAppendFile file(folder.File("log.csv"), "No.;Moisture\r\n");
         },
         1},
        {"each later piece",
         [](const TScratchFolder &folder, const TReady &ready) {
             TDurableAppendFile file(folder.File("log.csv"), "No.;Moisture\r\n");
             ready();
             file.Append("1;14.5\r\n");
         },
         1},
        {"a saved file, at its commit (writing alone flushes nothing)",
         [](const TScratchFolder &folder, const TReady &ready) {
             WriteFileContents(folder.File("report.pdf"), "the old one");
             SaveReport(folder, TReplace::Existing, ready);
         },
         1},
        {"a new report, at its commit",
         [](const TScratchFolder &folder, const TReady &ready) {
             const auto before = FlushesToDisk();
             SaveReport(folder, TReplace::Never, [&] {
                 EXPECT_EQ(FlushesToDisk(), before);
                 ready();
             });
         },
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TScratchFolder folder("disk-order-test");
        unsigned long long before = 0;
        c.Steps(folder, [&] { before = FlushesToDisk(); });
        EXPECT_EQ(FlushesToDisk() - before, c.Flushes);
    }
}
#endif

} // namespace
