// SPDX-License-Identifier: Apache-2.0
// The user's regional settings as the program uses them: one value, one current
// copy. Formats are held in the picture syntax ("M/d/yyyy", "dd.MM.yyyy",
// "h:mm:ss tt", "HH:mm:ss"); texts are UTF-8.
#pragma once

#include <array>
#include <string>

struct TRegionalSettings {
    char32_t DecimalSeparator = U'.';
    std::string ListSeparator = ",";  // as the platform gives it; may be longer than one character
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongTimeFormat = "h:mm:ss tt";
    std::string TimeAMString = "AM";  // what "tt" shows before noon
    std::string TimePMString = "PM";  // and from noon on
    // Names for the pictures "MMM", "MMMM", "ddd" and "dddd"; days from Sunday on.
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",
                                               "May",     "June",     "July",      "August",
                                               "September", "October", "November", "December"};
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};

    bool operator==(const TRegionalSettings &) const = default;
};

// Reads the user's settings from the platform (Linux: the environment's locale;
// Windows: the user's default locale). Backend-specific.
TRegionalSettings ReadUserRegionalSettings();

// The program's one current copy. Taken at start-up and again whenever the
// platform announces a change; every formatter reads it when it runs.
TRegionalSettings CurrentRegionalSettings();
// Its decimal separator alone, without copying the rest (the parser asks for it
// with every reading).
char32_t CurrentDecimalSeparator();
void SetCurrentRegionalSettings(const TRegionalSettings &settings);
// Takes the current copy anew from the platform.
void RefreshRegionalSettings();
