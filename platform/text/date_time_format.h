// SPDX-License-Identifier: Apache-2.0
// Dates and times in the picture syntax of the regional settings ("M/d/yyyy",
// "dd.MM.yyyy", "h:mm:ss tt", "HH:mm:ss").
#pragma once

#include "platform/text/date_time.h"
#include "platform/text/regional_settings.h"

#include <string>
#include <string_view>

// Formats a date-time by a picture:
//   d dd ddd dddd   day; two digits; short and long day name
//   M MM MMM MMMM   month; two digits; short and long month name
//   y yy yyyy       year: its last digit, its last two digits, all of it
//   g gg            era: nothing, as the Gregorian calendar has none
//   h hh H HH       hour on the 12- or 24-hour clock; two digits
//   m mm s ss       minute, second
//   t tt            first character of the AM/PM text; the whole text
//   '...'           literal text ('' stands for one quote)
// Every other character is copied. Texts are UTF-8.
std::string FormatDateTimePicture(TDateTime value, std::string_view picture,
                                  const TRegionalSettings &settings);

// Translates a strftime format ("%d.%m.%Y", "%I:%M:%S %p") into the picture
// syntax ("dd.MM.yyyy", "hh:mm:ss tt"). Literal text that holds letters is
// quoted; conversions without a picture counterpart (time zone, week number,
// ...) are left out, and the blanks they leave at either end are cut.
std::string StrftimeToPicture(std::string_view format);
