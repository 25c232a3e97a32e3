// SPDX-License-Identifier: Apache-2.0
// What happens when the worker hands over an accepted reading, in the window
// and in a headless run alike: the regional settings are taken once, the row is
// appended to the table with them, and its journal line is written with the
// same settings, so that the row and its line agree.
#pragma once

#include "link/reading.h"
#include "platform/text/regional_settings.h"
#include "readings/readings_table.h"
#include "readings/session_journal.h"

#include <functional>
#include <optional>
#include <string>

struct TArrivedReading {
    int Row = 0;
    // The journal's message for the operator, the one time it fails.
    std::optional<std::string> JournalFailure;
};

// `appendRow` appends the reading to `table` (or to the model that owns it)
// with the settings it is given and returns the new row's index.
TArrivedReading ReadingReachesTable(const std::function<int(const TRegionalSettings &)> &appendRow,
                                    const TReadingsTable &table, TSessionJournal &journal);
