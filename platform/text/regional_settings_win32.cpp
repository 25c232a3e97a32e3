// SPDX-License-Identifier: Apache-2.0
// The user's regional settings on Windows: the user's default locale.
#include "platform/text/regional_settings.h"
#include "platform/text/utf8.h"
#include "platform/text/wide_text_win32.h"

#include <string>
#include <windows.h>

namespace {

// One locale item in UTF-8; empty when the platform has none.
std::string Item(LCTYPE type)
{
    wchar_t buffer[128];
    const int written = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 128);
    return written > 0 ? Utf8FromWide(std::wstring_view(buffer, static_cast<std::size_t>(written - 1))) : std::string();
}

void SetIfGiven(std::string &target, LCTYPE type)
{
    std::string value = Item(type);
    if (!value.empty())
        target = std::move(value);
}

} // namespace

TRegionalSettings ReadUserRegionalSettings()
{
    TRegionalSettings settings;
    settings.DecimalSeparator = FirstCodePoint(Item(LOCALE_SDECIMAL), U'.');

    // Read with room for one UTF-16 unit: a list separator that does not fit,
    // or none at all, means ",".
    wchar_t list[2] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SLIST, list, 2) == 2)
        settings.ListSeparator = Utf8FromWide(std::wstring_view(list, 1));
    else
        settings.ListSeparator = ",";

    SetIfGiven(settings.ShortDateFormat, LOCALE_SSHORTDATE);
    SetIfGiven(settings.LongTimeFormat, LOCALE_STIMEFORMAT);
    // An empty AM/PM text is a valid setting (24-hour locales).
    settings.TimeAMString = Item(LOCALE_S1159);
    settings.TimePMString = Item(LOCALE_S2359);

    for (int i = 0; i < 12; ++i) {
        const auto index = static_cast<std::size_t>(i);
        SetIfGiven(settings.ShortMonthNames[index], static_cast<LCTYPE>(LOCALE_SABBREVMONTHNAME1 + i));
        SetIfGiven(settings.LongMonthNames[index], static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + i));
    }
    // The platform counts the days from Monday; the settings from Sunday.
    for (int i = 0; i < 7; ++i) {
        const auto index = static_cast<std::size_t>((i + 1) % 7);
        SetIfGiven(settings.ShortDayNames[index], static_cast<LCTYPE>(LOCALE_SABBREVDAYNAME1 + i));
        SetIfGiven(settings.LongDayNames[index], static_cast<LCTYPE>(LOCALE_SDAYNAME1 + i));
    }
    return settings;
}
