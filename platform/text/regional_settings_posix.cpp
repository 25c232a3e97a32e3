// SPDX-License-Identifier: Apache-2.0
// The user's regional settings on Linux: the environment's locale (LANG, LC_ALL,
// LC_NUMERIC, LC_TIME), its strftime formats translated into pictures.
#include "platform/text/date_time_format.h"
#include "platform/text/regional_settings.h"
#include "platform/text/utf8.h"

#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <langinfo.h>
#include <locale.h>
#include <string_view>

namespace {

// Owns a locale object made from the environment.
class TLocale {
public:
    // The categories of the mask, and the character set of the same locale, so
    // that its texts can be decoded.
    TLocale(int mask, const char *categoryVariable)
    {
        const std::string name = EnvironmentName(categoryVariable);
        FHandle = newlocale(mask | LC_CTYPE_MASK, name.c_str(), nullptr);
        // A locale the system lacks: the program still runs, in the C locale.
        if (FHandle == nullptr)
            FHandle = newlocale(mask | LC_CTYPE_MASK, "C", nullptr);
    }
    ~TLocale()
    {
        if (FHandle != nullptr)
            freelocale(FHandle);
    }
    TLocale(const TLocale &) = delete;
    TLocale &operator=(const TLocale &) = delete;

    // An item of the locale, in UTF-8.
    std::string Item(nl_item item) const
    {
        if (FHandle == nullptr)
            return {};
        return ToUtf8(nl_langinfo_l(item, FHandle));
    }

private:
    // The locale name the environment chooses for one category.
    static std::string EnvironmentName(const char *categoryVariable)
    {
        for (const char *variable : {"LC_ALL", categoryVariable, "LANG"}) {
            const char *value = std::getenv(variable);
            if (value != nullptr && *value != '\0')
                return value;
        }
        return "C";
    }

    // Decodes a text of the locale's character set; bytes that do not decode
    // become U+FFFD.
    std::string ToUtf8(const char *text) const
    {
        const locale_t previous = uselocale(FHandle);
        std::string out;
        std::mbstate_t state{};
        const char *end = text + std::char_traits<char>::length(text);
        while (text < end) {
            wchar_t wide = 0;
            const std::size_t used = std::mbrtowc(&wide, text, static_cast<std::size_t>(end - text), &state);
            char32_t code = static_cast<char32_t>(wide);
            if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
                code = 0xFFFD;
                state = {};
                ++text;
            } else {
                text += used == 0 ? 1 : used;
            }
            AppendUtf8(out, code);
        }
        uselocale(previous);
        return out;
    }

    locale_t FHandle = nullptr;
};


bool HasHour24(std::string_view format)
{
    for (std::string_view conversion : {"%H", "%k", "%T", "%R", "%OH", "%-H", "%_H"})
        if (format.find(conversion) != std::string_view::npos)
            return true;
    return false;
}

} // namespace

TRegionalSettings ReadUserRegionalSettings()
{
    TRegionalSettings settings;
    const TLocale numeric(LC_NUMERIC_MASK, "LC_NUMERIC");
    settings.DecimalSeparator = FirstCodePoint(numeric.Item(RADIXCHAR), U'.');
    // Linux has no list separator: the one a spreadsheet of the same locale expects.
    // Assigned as one character: GCC 12 takes the assignment of a string literal
    // here for an overlapping copy (-Wrestrict, a known false alarm).
    settings.ListSeparator.assign(1, settings.DecimalSeparator == U',' ? ';' : ',');

    const TLocale time(LC_TIME_MASK, "LC_TIME");
    const std::string dateFormat = StrftimeToPicture(time.Item(D_FMT));
    if (!dateFormat.empty())
        settings.ShortDateFormat = dateFormat;
    std::string timeFormat = time.Item(T_FMT);
    if (!HasHour24(timeFormat)) {
        const std::string amPmFormat = time.Item(T_FMT_AMPM);
        if (!amPmFormat.empty())
            timeFormat = amPmFormat;
    }
    const std::string timePicture = StrftimeToPicture(timeFormat);
    if (!timePicture.empty())
        settings.LongTimeFormat = timePicture;
    settings.TimeAMString = time.Item(AM_STR);
    settings.TimePMString = time.Item(PM_STR);

    for (int i = 0; i < 12; ++i) {
        const auto index = static_cast<std::size_t>(i);
        settings.ShortMonthNames[index] = time.Item(static_cast<nl_item>(ABMON_1 + i));
        settings.LongMonthNames[index] = time.Item(static_cast<nl_item>(MON_1 + i));
    }
    for (int i = 0; i < 7; ++i) {
        const auto index = static_cast<std::size_t>(i);
        settings.ShortDayNames[index] = time.Item(static_cast<nl_item>(ABDAY_1 + i));
        settings.LongDayNames[index] = time.Item(static_cast<nl_item>(DAY_1 + i));
    }
    return settings;
}
