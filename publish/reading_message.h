// SPDX-License-Identifier: Apache-2.0
// What is published for each accepted reading: its topic and one JSON object
// in UTF-8, with the numbers as the table shows them (one decimal, a point,
// never the regional format), so that every consumer reads the same values as
// the operator.
#pragma once

#include "link/reading.h"
#include "platform/text/date_time.h"

#include <string>
#include <string_view>

// What every message of a run shares.
struct TPublishingRun {
    TDateTimeParts Start;  // the run's start, local time
    std::string Host;      // the computer's name
    std::string Program;   // "meter-readout 1.3.0"
    bool ClbMode = false;  // the raw detector texts go out too
};

// Local time with its UTC offset, to the millisecond where it has any:
// "2026-03-29T03:15:07.250+02:00".
std::string IsoDateTime(const TDateTimeParts &local);

// One topic level made of a text that is not ours (the meter's serial number,
// the host name): the wildcards + and #, the separator / and control
// characters become "_", so the topic stays valid and one level deep; an
// empty text becomes "_".
std::string TopicLevel(std::string_view text);

// PREFIX/<serial number>/reading.
std::string ReadingTopic(std::string_view prefix, const TReading &reading);
// PREFIX/status/<host>, where "online" and the last will "offline" go.
std::string StatusTopic(std::string_view prefix, std::string_view host);

// The reading's id: the run's start and the row number, unique across runs:
// "2026-12-10T08:45:12.345+01:00/3".
std::string ReadingId(const TPublishingRun &run, int row);

// The JSON object of reading `row` (the table's row number, from 1).
std::string ReadingMessage(const TPublishingRun &run, int row, const TReading &reading);
