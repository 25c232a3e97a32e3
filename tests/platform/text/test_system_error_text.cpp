// SPDX-License-Identifier: Apache-2.0
// The operator's words for Windows errors: the system's own text, as UTF-8.
#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <windows.h>

#include <string>

namespace {

TEST(SystemErrorText, AccentedLettersOfTheSystemTextArriveAsUtf8)
{
    // French has accents in the very first words; the ANSI path would give
    // the single byte 0xE8 for the "è" of "Accès".
    const std::string text = SystemErrorText(ERROR_ACCESS_DENIED, MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
    if (text.rfind("Error ", 0) == 0)
        GTEST_SKIP() << "this Windows has no French system texts";
    EXPECT_EQ(text.rfind("Acc\xC3\xA8s refus\xC3\xA9", 0), 0u) << text;
}

TEST(SystemErrorText, KnownCodesHaveTheSystemTextUnknownOnesTheirNumber)
{
    const struct {
        unsigned long Code;
        bool Known;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, true},
        {ERROR_ACCESS_DENIED, true},
        {ERROR_SHARING_VIOLATION, true},
        {0x2000ABCDu, false},  // the customer bit: never a system code
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Code);
        const std::string text = SystemErrorText(c.Code);
        if (c.Known) {
            EXPECT_NE(text.rfind("Error ", 0), 0u) << text;
            EXPECT_FALSE(WideFromUtf8(text).empty()) << "not UTF-8: " << text;
            EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << "a line break in: " << text;
        } else {
            EXPECT_EQ(text, "Error " + std::to_string(c.Code));
        }
    }
}

TEST(SystemErrorText, WideTextAndUtf8ConvertBothWays)
{
    const struct {
        const wchar_t *Wide;
        const char *Utf8;
    } cases[] = {
        {L"", ""},
        {L"Access is denied.", "Access is denied."},
        {L"Acc\u00E8s refus\u00E9", "Acc\xC3\xA8s refus\xC3\xA9"},
        {L"P\u0159\u00EDstup odep\u0159en", "P\xC5\x99\xC3\xADstup odep\xC5\x99" "en"},
        {L"\u62D2\u7EDD\u8BBF\u95EE", "\xE6\x8B\x92\xE7\xBB\x9D\xE8\xAE\xBF\xE9\x97\xAE"},
        {L"\U0001F33E", "\xF0\x9F\x8C\xBE"},  // a surrogate pair
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Utf8);
        EXPECT_EQ(Utf8FromWide(c.Wide), c.Utf8);
        EXPECT_EQ(WideFromUtf8(c.Utf8), c.Wide);
    }
    EXPECT_EQ(WideFromUtf8("Acc\xE8s"), L"") << "bytes of another code page are not UTF-8";
}

} // namespace
#else
TEST(SystemErrorText, AccentedLettersOfTheSystemTextArriveAsUtf8)
{
    GTEST_SKIP() << "Windows error codes exist on Windows only";
}
#endif
