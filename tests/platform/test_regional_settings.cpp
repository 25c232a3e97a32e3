#include "platform/regional_settings.h"

#include "tests/support/environment_locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(RegionalSettings, UsLocaleReadsPointCommaAndTwelveHourClock)
{
#ifdef _WIN32
    GTEST_SKIP() << "reads the environment's locale, a Linux concern";
#else
    if (!LocaleExists("en_US.UTF-8"))
        GTEST_SKIP() << "locale en_US.UTF-8 is not generated";
    TEnvironmentLocale environment("en_US.UTF-8");
    const TRegionalSettings settings = ReadUserRegionalSettings();
    EXPECT_EQ(U'.', settings.DecimalSeparator);
    EXPECT_EQ(",", settings.ListSeparator);
    EXPECT_EQ("MM/dd/yyyy", settings.ShortDateFormat);
    EXPECT_EQ("hh:mm:ss tt", settings.LongTimeFormat);
    EXPECT_EQ("AM", settings.TimeAMString);
    EXPECT_EQ("PM", settings.TimePMString);
    EXPECT_EQ("Jan", settings.ShortMonthNames[0]);
#endif
}

TEST(RegionalSettings, GermanLocaleReadsCommaSemicolonAndTwentyFourHourClock)
{
#ifdef _WIN32
    GTEST_SKIP() << "reads the environment's locale, a Linux concern";
#else
    if (!LocaleExists("de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not generated";
    TEnvironmentLocale environment("de_DE.UTF-8");
    const TRegionalSettings settings = ReadUserRegionalSettings();
    EXPECT_EQ(U',', settings.DecimalSeparator);
    EXPECT_EQ(";", settings.ListSeparator);
    EXPECT_EQ("dd.MM.yyyy", settings.ShortDateFormat);
    EXPECT_EQ("HH:mm:ss", settings.LongTimeFormat);
    // Names come decoded into UTF-8: "März".
    EXPECT_EQ("M\xC3\xA4rz", settings.LongMonthNames[2]);
#endif
}

TEST(RegionalSettings, BareCLocaleKeepsWhatTheTranslationGives)
{
#ifdef _WIN32
    GTEST_SKIP() << "reads the environment's locale, a Linux concern";
#else
    TEnvironmentLocale environment("C");
    const TRegionalSettings settings = ReadUserRegionalSettings();
    EXPECT_EQ(U'.', settings.DecimalSeparator);
    EXPECT_EQ(",", settings.ListSeparator);
    EXPECT_EQ("MM/dd/yy", settings.ShortDateFormat);
    EXPECT_EQ("HH:mm:ss", settings.LongTimeFormat);
#endif
}

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
