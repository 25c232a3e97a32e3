// SPDX-License-Identifier: Apache-2.0
#include "readings/reading_arrival.h"

TArrivedReading ReadingReachesTable(const std::function<int(const TRegionalSettings &)> &appendRow,
                                    const TReadingsTable &table, TSessionJournal &journal)
{
    const TRegionalSettings settings = CurrentRegionalSettings();
    TArrivedReading arrived;
    arrived.Row = appendRow(settings);
    arrived.JournalFailure = journal.Append(table, arrived.Row, settings);
    return arrived;
}
