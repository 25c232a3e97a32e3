// SPDX-License-Identifier: Apache-2.0
// The session journal: Save's bytes row by row, its name and folder, and what
// it does when the disk refuses.
#include "readings/session_journal.h"

#include "platform/files/user_folders.h"
#include "readings/csv_writer.h"
#include "readings/reading_arrival.h"
#include "readings/reading_columns.h"
#include "readings/reading_row.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tiny_disk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

const TDateTimeParts RunStart{2024, 3, 5, 9, 7, 3, 0};

TRegionalSettings Settings(const char *listSeparator, char32_t decimal)
{
    TRegionalSettings settings;
    settings.ListSeparator = listSeparator;
    settings.DecimalSeparator = decimal;
    return settings;
}

TReading MakeReading(int i, double size = 1)
{
    TReading reading;
    reading.Range = {'R', static_cast<char>('0' + i % 10)};
    reading.Serial = {'1', '2', '3', '4', '5', '6'};
    reading.IR = {{{'1', '0', '1'}, {'1', '0', '2'}, {'1', '0', '3'}, {'1', '0', '4'}}};
    reading.Moisture = 14.25 * size;
    reading.Temperature = 21.5 * size;
    reading.Protein = 11.3 * size;
    reading.Oil = 1.9 * size;
    reading.Water = 13.8 * size;
    reading.Starch = 67.4 * size;
    reading.Timestamp = EncodeDateTime({2024, 3, 5, 9, 7, 4 + i, 0});
    return reading;
}

TReadingsTable MakeTable(bool clb)
{
    TReadingsTable table(ColumnCountFor(clb));
    SetUpReadingsTable(table, clb);
    return table;
}

// Restores an environment variable when the test is over.
class TEnvironmentVariable {
public:
    TEnvironmentVariable(const char *name, const char *value) : FName(name)
    {
        if (const char *old = std::getenv(name))
            FOld = old;
        Set(value);
    }
    ~TEnvironmentVariable() { Set(FOld ? FOld->c_str() : nullptr); }
    TEnvironmentVariable(const TEnvironmentVariable &) = delete;
    TEnvironmentVariable &operator=(const TEnvironmentVariable &) = delete;

private:
    void Set(const char *value)
    {
#ifdef _WIN32
        _putenv_s(FName, value != nullptr ? value : "");
#else
        if (value != nullptr)
            setenv(FName, value, 1);
        else
            unsetenv(FName);
#endif
    }
    const char *FName;
    std::optional<std::string> FOld;
};

struct TSameBytesCase {
    bool Clb;
    const char *ListSeparator;
    char32_t Decimal;
};

class JournalBytes : public testing::TestWithParam<TSameBytesCase> {};

TEST_P(JournalBytes, AfterEveryRowTheJournalHoldsWhatSaveWouldWrite)
{
    const TSameBytesCase &c = GetParam();
    const TRegionalSettings settings = Settings(c.ListSeparator, c.Decimal);
    TScratchFolder folder("journal-test");
    TSessionJournal journal({true, folder.File("journal")}, RunStart, c.Clb);
    TReadingsTable table = MakeTable(c.Clb);
    for (int i = 1; i <= 3; ++i) {
        const int row = AddReadingToTable(table, MakeReading(i), c.Clb, settings);
        ASSERT_EQ(journal.Append(table, row, settings), std::nullopt);
        const std::string saved = folder.File("saved.csv");
        SaveCsv(table, c.Clb, saved, settings);
        EXPECT_EQ(FileContents(journal.Path()), FileContents(saved)) << "after row " << row;
    }
    EXPECT_EQ(journal.Path(), PathInFolder(folder.File("journal"), "readings-20240305-090703.csv"));
}

INSTANTIATE_TEST_SUITE_P(LayoutsAndSeparators, JournalBytes,
                         testing::Values(TSameBytesCase{false, ",", U'.'}, TSameBytesCase{true, ";", U','},
                                         TSameBytesCase{false, "::", U'.'}));

// The operator may change the regional settings while a reading arrives: the
// row and its journal line still agree, as both take the settings once.
TEST(ReadingArrival, TheRowAndItsJournalLineTakeTheSettingsOnce)
{
    const TRegionalSettings before = CurrentRegionalSettings();
    const TRegionalSettings german = Settings(";", U',');
    SetCurrentRegionalSettings(german);
    TScratchFolder folder("arrival-test");
    TSessionJournal journal({true, folder.File("journal")}, RunStart, false);
    TReadingsTable table = MakeTable(false);
    const auto appendRow = [&](const TRegionalSettings &settings) {
        const int row = AddReadingToTable(table, MakeReading(1), false, settings);
        SetCurrentRegionalSettings(Settings(",", U'.'));
        return row;
    };
    const TArrivedReading arrived = ReadingReachesTable(appendRow, table, journal);
    SetCurrentRegionalSettings(before);

    EXPECT_EQ(arrived.Row, 1);
    EXPECT_EQ(arrived.JournalFailure, std::nullopt);
    const std::string saved = folder.File("saved.csv");
    SaveCsv(table, false, saved, german);
    EXPECT_EQ(FileContents(journal.Path()), FileContents(saved));
}

TEST(SessionJournal, FileNamesCarryTheRunsStartAndASuffixForTheSameSecond)
{
    const struct {
        TDateTimeParts Start;
        int Attempt;
        const char *Name;
    } cases[] = {
        {{2024, 3, 5, 9, 7, 3, 0}, 1, "readings-20240305-090703.csv"},
        {{2024, 12, 31, 23, 59, 59, 999}, 1, "readings-20241231-235959.csv"},
        {{2024, 3, 5, 9, 7, 3, 0}, 2, "readings-20240305-090703-2.csv"},
        {{2024, 3, 5, 9, 7, 3, 0}, 11, "readings-20240305-090703-11.csv"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(JournalFileName(c.Start, c.Attempt), c.Name);
}

TEST(SessionJournal, RunsStartingInTheSameSecondEachGetAFileOfTheirOwn)
{
    TScratchFolder folder("journal-test");
    const TRegionalSettings settings;
    WriteFileContents(folder.File("readings-20240305-090703.csv"), "an earlier run\r\n");
    TReadingsTable table = MakeTable(false);
    const int row = AddReadingToTable(table, MakeReading(1), false, settings);
    TSessionJournal second({true, folder.Path().string()}, RunStart, false);
    TSessionJournal third({true, folder.Path().string()}, RunStart, false);
    ASSERT_EQ(second.Append(table, row, settings), std::nullopt);
    ASSERT_EQ(third.Append(table, row, settings), std::nullopt);
    std::vector<std::string> names = folder.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"readings-20240305-090703-2.csv",
                                                        "readings-20240305-090703-3.csv",
                                                        "readings-20240305-090703.csv"}));
    EXPECT_EQ(FileContents(folder.File("readings-20240305-090703.csv")), "an earlier run\r\n");
}

TEST(SessionJournal, NothingIsMadeBeforeTheFirstRowOrWhenSwitchedOff)
{
    TScratchFolder folder("journal-test");
    const TRegionalSettings settings;
    TReadingsTable table = MakeTable(false);
    const int row = AddReadingToTable(table, MakeReading(1), false, settings);
    {
        TSessionJournal waiting({true, folder.File("a/b")}, RunStart, false);
        TSessionJournal off({false, folder.File("c")}, RunStart, false);
        EXPECT_EQ(off.Append(table, row, settings), std::nullopt);
        EXPECT_TRUE(off.Off());
        EXPECT_EQ(off.Path(), "");
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{});
}

TEST(SessionJournal, DefaultFolderIsThePerUserDataFolder)
{
#ifdef _WIN32
    TEnvironmentVariable local("LOCALAPPDATA", "C:\\Users\\lab\\AppData\\Local");
    EXPECT_EQ(DefaultJournalFolder(), "C:\\Users\\lab\\AppData\\Local\\meter-readout\\journal");
#else
    const struct {
        const char *DataHome;
        const char *Folder;
    } cases[] = {
        {"/srv/data", "/srv/data/meter-readout/journal"},
        {"/srv/data/", "/srv/data/meter-readout/journal"},
        {nullptr, "/home/lab/.local/share/meter-readout/journal"},
        {"", "/home/lab/.local/share/meter-readout/journal"},
        {"relative/data", "/home/lab/.local/share/meter-readout/journal"},  // not absolute: ignored
    };
    TEnvironmentVariable home("HOME", "/home/lab");
    for (const auto &c : cases) {
        TEnvironmentVariable dataHome("XDG_DATA_HOME", c.DataHome);
        EXPECT_EQ(DefaultJournalFolder(), c.Folder) << (c.DataHome ? c.DataHome : "(unset)");
    }
#endif
}

TEST(SessionJournal, AJournalThatCannotBeMadeIsReportedOnceAndThenLeftAlone)
{
    TScratchFolder folder("journal-test");
    WriteFileContents(folder.File("in-the-way"), "a file, not a folder");
    const TRegionalSettings settings;
    TReadingsTable table = MakeTable(false);
    TSessionJournal journal({true, folder.File("in-the-way") + "/journal"}, RunStart, false);
    std::vector<std::string> messages;
    for (int i = 1; i <= 3; ++i) {
        const int row = AddReadingToTable(table, MakeReading(i), false, settings);
        if (const auto message = journal.Append(table, row, settings))
            messages.push_back(*message);
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Cannot create file \"" + folder.File("in-the-way") + "/journal\". "),
              std::string::npos)
        << messages[0];
    EXPECT_NE(messages[0].find("journal is off"), std::string::npos) << messages[0];
    EXPECT_TRUE(journal.Off());
}

class SessionJournalOnATinyDisk : public TinyDiskTest {};

TEST_F(SessionJournalOnATinyDisk, AFullDiskLeavesWholeLinesAndIsReportedOnce)
{
    struct TCase {
        const char *What;
        std::size_t FreePages;
    };
    for (const TCase c : {TCase{"no room for the header", 0}, TCase{"room for a few rows", 1}}) {
        SCOPED_TRACE(c.What);
        std::filesystem::remove_all(folder.Path() / "disk" / "journal");
        disk.FillLeaving(c.FreePages);
        const TRegionalSettings settings;
        TReadingsTable table = MakeTable(false);
        TSessionJournal journal({true, (folder.Path() / "disk" / "journal").string()}, RunStart, false);
        std::vector<std::string> messages;
        int lastWritten = 0;
        for (int i = 1; i <= 12; ++i) {
            // Huge numbers make rows of about two kilobytes, so a page fills fast.
            const int row = AddReadingToTable(table, MakeReading(i, 1e290), false, settings);
            const auto message = journal.Append(table, row, settings);
            if (message)
                messages.push_back(*message);
            else if (messages.empty())
                lastWritten = row;
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("Cannot write file"), std::string::npos) << messages[0];

        std::string expected;
        if (lastWritten > 0)
            for (int row = 0; row <= lastWritten; ++row)
                expected += CsvLine(table, row, NormalColumnCount, ",");
        const std::string kept = journal.Path().empty() ? std::string() : FileContents(journal.Path());
        EXPECT_EQ(kept, expected);
        if (c.FreePages == 0)
            EXPECT_TRUE(std::filesystem::is_empty(folder.Path() / "disk" / "journal")) << "a journal without header";
        else
            EXPECT_GE(lastWritten, 1);
    }
}

} // namespace
