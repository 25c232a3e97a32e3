// SPDX-License-Identifier: Apache-2.0
// The headless program with the file probe preloaded: a power cut at each of
// its file calls in turn, and a report name taken at the last moment.
#ifdef READOUT_FILE_PROBE
#include "tests/app/program_run.h"
#include "tests/support/file_calls.h"
#include "tests/support/scratch_folder.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A run of two readings takes about a second and a half; one that has not
// ended in this time is stopped, and its test fails.
constexpr int RunLimitMs = 20000;

// A run writing the CSV file, the journal and the report into one folder.
class TProbedRun {
public:
    TProbedRun() : FFolder("power-cut-test")
    {
        fs::create_directories(FFolder.Path() / "journal");
        fs::create_directories(FFolder.Path() / "out");
    }

    std::string Csv() const { return FFolder.File("out/readings.csv"); }
    std::string Report() const { return FFolder.File("out/report.pdf"); }
    const TScratchFolder &Folder() const { return FFolder; }
    fs::path Log() const { return FFolder.Path() / "calls.log"; }

    // Runs the program with the probe's settings (READOUT_PROBE_CUT_AT, ...).
    TRun Run(const QStringList &probeSettings)
    {
        QProcessEnvironment environment = ChildEnvironment();
        environment.insert("LD_PRELOAD", READOUT_FILE_PROBE);
        // A sanitizer's runtime would ask to be loaded first.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        environment.insert("READOUT_PROBE_ROOT", QString::fromStdString(FFolder.Path().string()));
        environment.insert("READOUT_PROBE_LOG", QString::fromStdString(Log().string()));
        for (const QString &setting : probeSettings)
            environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
        return RunProgramIn(environment, {"--simulate", "--headless", "--count", "2", "--csv", QString::fromStdString(Csv()),
                                          "--journal-dir", QString::fromStdString(FFolder.File("journal")),
                                          "--report-pdf", QString::fromStdString(Report())},
                            RunLimitMs);
    }

private:
    TScratchFolder FFolder;
};

// A file's lines, each without its "\r\n"; `whole` is false when the file
// does not end at a line's end.
std::vector<std::string> LinesOf(const std::string &bytes, bool &whole)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    whole = start == bytes.size();
    return lines;
}

bool IsTemporaryName(const fs::path &path)
{
    return path.filename().string().rfind('~', 0) == 0;
}

// What a power cut left: checked against each promise, with `printed` the
// rows the program had printed before it.
void CheckWhatIsLeft(const TProbedRun &run, const std::string &printed)
{
    // Under their final names: the CSV file, at most one journal, the report.
    std::vector<std::string> journals;
    for (const auto &entry : fs::directory_iterator(run.Folder().Path() / "journal"))
        if (!IsTemporaryName(entry.path()))
            journals.push_back(entry.path().string());
    ASSERT_LE(journals.size(), 1u);
    for (const auto &entry : fs::directory_iterator(run.Folder().Path() / "out")) {
        if (!IsTemporaryName(entry.path()))
            EXPECT_TRUE(entry.path() == run.Csv() || entry.path() == run.Report()) << entry.path();
    }

    bool whole = true;
    std::vector<std::string> csv;
    if (fs::exists(run.Csv())) {
        csv = LinesOf(FileContents(run.Csv()), whole);
        EXPECT_TRUE(whole) << "the CSV file ends in the middle of a line";
        EXPECT_FALSE(csv.empty()) << "the CSV file is empty";
    }
    std::vector<std::string> journal;
    if (!journals.empty()) {
        journal = LinesOf(FileContents(journals.front()), whole);
        EXPECT_TRUE(whole) << "the journal ends in the middle of a line";
        EXPECT_FALSE(journal.empty()) << "the journal is empty";
        EXPECT_FALSE(csv.empty()) << "a journal, and no CSV file made before it";
    }
    // Each row reaches the journal first, then the CSV file, then the screen.
    if (!journal.empty()) {
        EXPECT_EQ(journal.front(), csv.front()) << "the header lines differ";
        EXPECT_GE(journal.size() + 1, csv.size()) << "a row in the CSV file is missing from the journal";
        EXPECT_LE(journal.size(), csv.size() + 1) << "the journal is more than one row ahead";
        for (std::size_t row = 1; row < csv.size() && row < journal.size(); ++row)
            EXPECT_EQ(csv[row], journal[row]) << "row " << row;
    } else {
        EXPECT_LE(csv.size(), 1u) << "rows in the CSV file but no journal";
    }
    const std::vector<std::string> shown = LinesOf(printed, whole);
    EXPECT_LE(shown.size() + 1, std::max<std::size_t>(csv.size(), 1)) << "a printed row is not in the CSV file";
    for (std::size_t row = 0; row < shown.size() && row + 1 < csv.size(); ++row)
        EXPECT_EQ(shown[row], csv[row + 1]);

    if (fs::exists(run.Report())) {
        const std::string pdf = FileContents(run.Report());
        EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u) << "the report does not begin as a PDF file";
        const auto end = pdf.find_last_not_of("\r\n");
        EXPECT_TRUE(end != std::string::npos && end >= 4 && pdf.compare(end - 4, 5, "%%EOF") == 0)
            << "the report is cut short (" << pdf.size() << " bytes)";
    }
}

TEST(PowerCut, AtEveryFileCallLeavesWholeRowsInTheOrderTheyWereShownAndNoFileCutShort)
{
    long calls = 0;
    {
        TProbedRun full;
        const TRun run = full.Run({});
        ASSERT_FALSE(run.crashed) << run.err.toStdString();
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        calls = static_cast<long>(ReadFileCalls(full.Log()).size());
        CheckWhatIsLeft(full, run.out.toStdString());
    }
    // The CSV file and the journal, each with a header and two rows, and the report.
    ASSERT_GE(calls, 10) << "the probe saw too few calls";

    for (long cut = 1; cut <= calls; ++cut) {
        SCOPED_TRACE("power cut at call " + std::to_string(cut) + " of " + std::to_string(calls));
        TProbedRun probed;
        const TRun run = probed.Run({"READOUT_PROBE_CUT_AT=" + QString::number(cut)});
        const std::vector<TFileCall> logged = ReadFileCalls(probed.Log());
        ASSERT_TRUE(run.crashed && !logged.empty() && logged.back().Call == "power-cut")
            << "the run was not cut where asked, or did not end within " << RunLimitMs << " ms: "
            << run.err.toStdString();
        CheckWhatIsLeft(probed, run.out.toStdString());
        if (HasFailure())
            std::cerr << CallSequence(logged, probed.Folder().Path()) << "\n";
    }
    RecordProperty("cut_points", static_cast<int>(calls));
    std::cout << "power cuts tried: " << calls << "\n";
}

TEST(PowerCut, AReportNameTakenAtTheLastMomentIsNeverReplaced)
{
    TProbedRun probed;
    const TRun run = probed.Run({"READOUT_PROBE_PLANT=" + QString::fromStdString(probed.Report())});
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.toStdString(), "meter-readout: --report-pdf: Cannot create file \"" + probed.Report() +
                                         "\". File exists\n");
    EXPECT_EQ(FileContents(probed.Report()), "made by the file probe\n");
    // The readings are all kept, and no temporary file is left.
    bool whole = true;
    EXPECT_EQ(LinesOf(FileContents(probed.Csv()), whole).size(), 3u);
    for (const auto &entry : fs::directory_iterator(probed.Folder().Path() / "out"))
        EXPECT_FALSE(IsTemporaryName(entry.path())) << entry.path();
}

} // namespace
#endif
