// SPDX-License-Identifier: Apache-2.0
#include "platform/text/code_page.h"

#include "tests/support/environment_locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>

namespace {

TEST(CodePage, AsciiPassesUnchangedBothWays)
{
    const std::string text = "   Ser. no.,123456;AB1\t14.5";
    EXPECT_EQ(text, AnsiToUtf8(text));
    EXPECT_EQ(text, Utf8ToAnsi(text));
    EXPECT_EQ("", AnsiToUtf8(""));
    EXPECT_EQ("", Utf8ToAnsi(""));
}

TEST(CodePage, NameIsNeverEmpty)
{
    EXPECT_FALSE(AnsiCodePageName().empty());
}

TEST(CodePage, BareCLocaleWorksInUtf8)
{
#ifdef _WIN32
    GTEST_SKIP() << "the environment's locale is a Linux concern";
#else
    TEnvironmentLocale environment("C");
    EXPECT_EQ("UTF-8", AnsiCodePageName());
    EXPECT_EQ("   Temp [\xC2\xB0" "C]", Utf8ToAnsi("   Temp [\xC2\xB0" "C]"));
    EXPECT_EQ("\xE2\x82\xAC", AnsiToUtf8("\xE2\x82\xAC"));
#endif
}

TEST(CodePage, Utf8LocaleReplacesMalformedBytes)
{
#ifdef _WIN32
    GTEST_SKIP() << "the environment's locale is a Linux concern";
#else
    TEnvironmentLocale environment("C.UTF-8");
    const struct {
        const char *bytes;
        const char *fromAnsi;  // malformed bytes become U+FFFD
        const char *toAnsi;    // and "?" on the way out
    } cases[] = {
        {"a\xC2\xB0z", "a\xC2\xB0z", "a\xC2\xB0z"},
        {"a\xFFz", "a\xEF\xBF\xBDz", "a?z"},
        {"\xC2", "\xEF\xBF\xBD", "?"},               // cut off at the end
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", "??"},  // overlong form
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "???"},  // surrogate
        {"\xF0\x9F\x8C\xBE", "\xF0\x9F\x8C\xBE", "\xF0\x9F\x8C\xBE"},  // four bytes
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(c.fromAnsi, AnsiToUtf8(c.bytes));
        EXPECT_EQ(c.toAnsi, Utf8ToAnsi(c.bytes));
    }
#endif
}

TEST(CodePage, LatinOneLocaleConvertsAndSubstitutesWhatItLacks)
{
#ifdef _WIN32
    GTEST_SKIP() << "the environment's locale is a Linux concern";
#else
    if (!LocaleExists("en_US.ISO-8859-1"))
        GTEST_SKIP() << "locale en_US.ISO-8859-1 is not generated";
    TEnvironmentLocale environment("en_US.ISO-8859-1");
    EXPECT_EQ("ISO-8859-1", AnsiCodePageName());
    const struct {
        const char *utf8;
        const char *ansi;
    } toAnsi[] = {
        {"   Temp [\xC2\xB0" "C]", "   Temp [\xB0" "C]"},
        {"M\xC3\xA4rz", "M\xE4rz"},
        {"1\xE2\x82\xAC" "2", "1?2"},            // the euro sign is not in Latin-1
        {"\xF0\x9F\x8C\xBE!", "?!"},             // nor is a four-byte character
        {"a\xFF" "b", "a?b"},                    // a malformed byte
        {"\xE2\x82", "??"},                      // a character cut off: each byte
    };
    for (const auto &c : toAnsi) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(c.ansi, Utf8ToAnsi(c.utf8));
    }
    // Every byte is a Latin-1 character.
    EXPECT_EQ("\xC2\xB0\xC3\xA4\xC3\xBF", AnsiToUtf8("\xB0\xE4\xFF"));
#endif
}

#ifdef _WIN32
TEST(CodePage, WesternWindowsCodePageConvertsAndSubstitutesWhatItLacks)
{
    if (AnsiCodePageName() != "CP1252")
        GTEST_SKIP() << "the system code page is " << AnsiCodePageName();
    EXPECT_EQ("   Temp [\xB0" "C]", Utf8ToAnsi("   Temp [\xC2\xB0" "C]"));
    EXPECT_EQ("\x80", Utf8ToAnsi("\xE2\x82\xAC"));   // the euro sign
    EXPECT_EQ("a?b", Utf8ToAnsi("a\xE4\xB8\xAD" "b"));  // a character Windows-1252 lacks
    EXPECT_EQ("\xC2\xB0\xC3\xA4\xE2\x82\xAC", AnsiToUtf8("\xB0\xE4\x80"));
}
#endif

} // namespace
