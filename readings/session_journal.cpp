// SPDX-License-Identifier: Apache-2.0
#include "readings/session_journal.h"

#include "platform/files/user_folders.h"
#include "readings/csv_writer.h"
#include "readings/reading_columns.h"

#include <cstdio>

namespace {

// Runs that start in the same second are rare; a hundred of them means the
// folder is full of something else.
constexpr int MaxNameAttempts = 100;

std::string FailureText(const std::string &cause)
{
    return "The journal is off for the rest of this run. " + cause;
}

} // namespace

std::string DefaultJournalFolder()
{
    return PathInFolder(PathInFolder(UserDataHome(), "meter-readout"), "journal");
}

std::string JournalFileName(const TDateTimeParts &runStart, int attempt)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", runStart.Year, runStart.Month, runStart.Day,
                  runStart.Hour, runStart.Minute, runStart.Second);
    const std::string suffix = attempt > 1 ? "-" + std::to_string(attempt) : std::string();
    return "readings-" + std::string(stamp) + suffix + ".csv";
}

TSessionJournal::TSessionJournal(TJournalOptions options, const TDateTimeParts &runStart, bool clbMode)
    : FOptions(std::move(options)), FRunStart(runStart), FClbMode(clbMode)
{
}

TSessionJournal::~TSessionJournal() = default;

bool TSessionJournal::Off() const
{
    return !FOptions.Enabled || FFailed;
}

std::string TSessionJournal::Path() const
{
    return FFile ? FFile->Path() : std::string();
}

void TSessionJournal::Open(const TReadingsTable &table)
{
    const std::string folder = FOptions.Folder.empty() ? DefaultJournalFolder() : FOptions.Folder;
    MakeFolders(folder);
    const std::string header = CsvLine(table, 0, ColumnCountFor(FClbMode), FSeparator);
    std::unique_ptr<TDurableAppendFile> file;
    for (int attempt = 1; !file; ++attempt) {
        try {
            file = std::make_unique<TDurableAppendFile>(PathInFolder(folder, JournalFileName(FRunStart, attempt)),
                                                        header);
        } catch (const EFileExists &) {
            if (attempt >= MaxNameAttempts)
                throw;
        }
    }
    FFile = std::move(file);
}

std::optional<std::string> TSessionJournal::Append(const TReadingsTable &table, int row,
                                                   const TRegionalSettings &settings)
{
    if (Off())
        return std::nullopt;
    try {
        if (!FFile) {
            FSeparator = CsvListSeparator(settings);
            Open(table);
        }
        FFile->Append(CsvLine(table, row, ColumnCountFor(FClbMode), FSeparator));
    } catch (const EFileError &error) {
        FFailed = true;
        return FailureText(error.what());
    }
    return std::nullopt;
}
