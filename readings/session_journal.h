// SPDX-License-Identifier: Apache-2.0
// The session journal: every row the table accepts, from the first reading of
// a run on, appended to a file of its own in exactly the bytes Save writes
// (header line first, the regional list separator, the ANSI code page, CR LF),
// each row on the disk before the next exchange begins. A crash, a power cut
// or a window closed before saving then loses nothing that reached the table.
#pragma once

#include "platform/text/date_time.h"
#include "platform/files/durable_append_file.h"
#include "platform/text/regional_settings.h"
#include "readings/readings_table.h"

#include <memory>
#include <optional>
#include <string>

struct TJournalOptions {
    bool Enabled = true;  // --no-journal switches it off
    std::string Folder;   // --journal-dir; empty: DefaultJournalFolder()
};

// The per-user journal folder: $XDG_DATA_HOME/meter-readout/journal on Linux
// (~/.local/share/... when unset), %LOCALAPPDATA%\meter-readout\journal on
// Windows. Throws EFileError when the system names no data folder.
std::string DefaultJournalFolder();

// "readings-YYYYMMDD-HHMMSS.csv" for the run's start; the second and further
// runs that start in the same second (attempt 2, 3, ...) get "-2", "-3", ...
// before ".csv".
std::string JournalFileName(const TDateTimeParts &runStart, int attempt);

class TSessionJournal {
public:
    // Nothing is made yet: a run without readings leaves no file behind.
    TSessionJournal(TJournalOptions options, const TDateTimeParts &runStart, bool clbMode);
    ~TSessionJournal();
    TSessionJournal(const TSessionJournal &) = delete;
    TSessionJournal &operator=(const TSessionJournal &) = delete;

    // Call once the table has accepted row `row`. The first call makes the
    // folder and the file and writes the header line; the list separator of
    // `settings` at that moment holds for the whole file, so that its lines
    // agree. Returns the operator's message the one time the journal cannot be
    // made or written; the journal is then off for the rest of the run, so no
    // later row waits for a failing disk again, and the file keeps every whole
    // line written before.
    std::optional<std::string> Append(const TReadingsTable &table, int row, const TRegionalSettings &settings);

    bool Off() const;
    // The file's path once it has been made; empty before.
    std::string Path() const;

private:
    void Open(const TReadingsTable &table);

    TJournalOptions FOptions;
    TDateTimeParts FRunStart;
    bool FClbMode;
    bool FFailed = false;
    std::string FSeparator;
    std::unique_ptr<TDurableAppendFile> FFile;
};
