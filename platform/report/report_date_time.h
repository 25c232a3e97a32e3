// Date and time texts of the report's [DATE] and [TIME], in the program's regional
// short date and long time formats.
#pragma once

#include "platform/date_time.h"
#include "platform/regional_settings.h"

#include <string>
#include <string_view>

// Formats the parts after a picture such as "M/d/yyyy", "dd.MM.yyyy", "h:mm:ss tt"
// or "HH:mm:ss": d dd ddd dddd, M MM MMM MMMM, y yy yyyy, h hh H HH, m mm, s ss,
// t tt, text in single quotes literally ('' for a quote); any other character
// stands for itself.
std::string FormatReportDateTime(std::string_view picture, const TDateTimeParts &parts,
                                 const TRegionalSettings &settings);
