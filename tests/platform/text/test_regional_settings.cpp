// SPDX-License-Identifier: Apache-2.0
#include "platform/text/regional_settings.h"

#include "tests/support/environment_locale.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// What the settings read from one locale of the environment hold, as far as the
// locale decides it.
struct TLocaleCase {
    std::string Locale;
    char32_t DecimalSeparator;
    std::string ListSeparator;
    std::string ShortDateFormat;
    std::string LongTimeFormat;
    std::string TimeAMString;
    std::string TimePMString;
    std::string ShortMarch;  // the names come decoded into UTF-8
    std::string LongMarch;

    bool operator==(const TLocaleCase &) const = default;
};

void PrintTo(const TLocaleCase &c, std::ostream *out)
{
    *out << c.Locale << ": U+" << std::hex << static_cast<unsigned>(c.DecimalSeparator) << std::dec << " \""
         << c.ListSeparator << "\" \"" << c.ShortDateFormat << "\" \"" << c.LongTimeFormat << "\" \""
         << c.TimeAMString << "\" \"" << c.TimePMString << "\" \"" << c.ShortMarch << "\" \"" << c.LongMarch << '"';
}

#ifndef _WIN32
TLocaleCase Read(const std::string &locale, const TRegionalSettings &settings)
{
    return {locale, settings.DecimalSeparator, settings.ListSeparator, settings.ShortDateFormat,
            settings.LongTimeFormat, settings.TimeAMString, settings.TimePMString,
            settings.ShortMonthNames[2], settings.LongMonthNames[2]};
}
#endif

class RegionalSettingsOfLocale : public testing::TestWithParam<TLocaleCase> {};

TEST_P(RegionalSettingsOfLocale, ReadsSeparatorsPicturesAndNames)
{
#ifdef _WIN32
    GTEST_SKIP() << "reads the environment's locale, a Linux concern";
#else
    const TLocaleCase &expected = GetParam();
    if (!LocaleExists(expected.Locale.c_str()))
        GTEST_SKIP() << "locale " << expected.Locale << " is not generated";
    TEnvironmentLocale environment(expected.Locale.c_str());
    EXPECT_EQ(Read(expected.Locale, ReadUserRegionalSettings()), expected);
#endif
}

INSTANTIATE_TEST_SUITE_P(Locales, RegionalSettingsOfLocale, testing::Values(
    // Point, comma and the twelve-hour clock.
    TLocaleCase{"en_US.UTF-8", U'.', ",", "MM/dd/yyyy", "hh:mm:ss tt", "AM", "PM", "Mar", "March"},
    // Comma, semicolon and the twenty-four-hour clock, which has no AM/PM texts.
    TLocaleCase{"de_DE.UTF-8", U',', ";", "dd.MM.yyyy", "HH:mm:ss", "", "", "M\xC3\xA4r", "M\xC3\xA4rz"},
    // The bare C locale keeps what the translation of its formats gives.
    TLocaleCase{"C", U'.', ",", "MM/dd/yy", "HH:mm:ss", "AM", "PM", "Mar", "March"}));

TEST(RegionalSettings, UserSettingsAreComplete)
{
    // Whatever the platform's locale: every formatter relies on these.
    const TRegionalSettings settings = ReadUserRegionalSettings();
    EXPECT_NE(0u, static_cast<unsigned>(settings.DecimalSeparator));
    EXPECT_FALSE(settings.ListSeparator.empty());
    EXPECT_FALSE(settings.ShortDateFormat.empty());
    EXPECT_FALSE(settings.LongTimeFormat.empty());
}

TEST(RegionalSettings, RefreshReplacesTheCurrentCopy)
{
    TRegionalSettings changed;
    changed.DecimalSeparator = U'#';
    SetCurrentRegionalSettings(changed);
    EXPECT_EQ(U'#', CurrentRegionalSettings().DecimalSeparator);
    RefreshRegionalSettings();
    EXPECT_EQ(ReadUserRegionalSettings(), CurrentRegionalSettings());
}

} // namespace
