// SPDX-License-Identifier: Apache-2.0
#include "link/number_conversion.h"

#include "platform/text/code_page.h"
#include "tests/support/environment_locale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct TNumberCase {
    std::string Text;
    char32_t Separator;
    std::optional<double> Expected; // nothing: the text is not a number
};

void PrintTo(const TNumberCase &c, std::ostream *out)
{
    *out << '"' << c.Text << "\" with U+" << std::hex << static_cast<unsigned>(c.Separator) << std::dec;
}

// The value, its sign included (-0 is not 0), or the failure the case expects.
void ExpectConversion(const TNumberCase &c)
{
    const std::optional<double> value = TryTextToFloat(c.Text, c.Separator);
    ASSERT_EQ(value.has_value(), c.Expected.has_value()) << (value ? *value : 0.0);
    if (c.Expected) {
        EXPECT_EQ(*value, *c.Expected);
        EXPECT_EQ(std::signbit(*value), std::signbit(*c.Expected)) << *value;
    }
}

void ExpectConversions(const std::vector<TNumberCase> &cases)
{
    for (const TNumberCase &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        ExpectConversion(c);
    }
}

const std::optional<double> fails;

const std::vector<TNumberCase> Texts = {
    // The separator of the locale, and no other.
    {"14.5", U'.', 14.5},
    {"14,5", U',', 14.5},
    {"14,5", U'.', fails},
    {"14.5", U',', fails},
    {"1,234.5", U'.', fails},
    {"1,234.5", U',', fails},
    {"1.234,5", U',', fails},
    {"1..5", U'.', fails},
    {".", U'.', 0.0},
    {",", U',', 0.0},
    {"-.", U'.', -0.0},
    {" . ", U'.', 0.0},
    {".5", U'.', 0.5},
    {"5.", U'.', 5.0},
    {"..", U'.', fails},
    {"007.250", U'.', 7.25},
    // Spaces and signs.
    {"   14.5", U'.', 14.5},
    {"14.5   ", U'.', 14.5},
    {"  -14.5  ", U'.', -14.5},
    {"+14.5", U'.', 14.5},
    {"-0.0", U'.', -0.0},  // the sign applies to the magnitude, zero included
    {"0.0", U'.', 0.0},
    {"\t14.5", U'.', fails},
    {"14.5\t", U'.', fails},
    {"- 14.5", U'.', fails},
    {"+-1", U'.', fails},
    {"", U'.', fails},
    {"   ", U'.', fails},
    {"+", U'.', fails},
    {"-", U'.', fails},
    {std::string("1\0", 2), U'.', fails},
    // Exponents.
    {"1.45E1", U'.', 14.5},
    {"145e-1", U'.', 14.5},
    {"1,45e+1", U',', 14.5},
    {"2E", U'.', 2.0},
    {"2e+", U'.', 2.0},
    {"2e- ", U'.', 2.0},
    {"1E1 ", U'.', 10.0},
    {"1 E1", U'.', fails},
    {"E5", U'.', fails},
    {".E5", U'.', 0.0},
    {"1E5E5", U'.', fails},
    // Digits are taken while the exponent so far is below 500.
    {"0E4999", U'.', 0.0},
    {"0E5000", U'.', fails},
    {"0E49999", U'.', fails},
    {"1E-4999", U'.', 0.0},
    {"1E00000000000000000003", U'.', 1000.0},
    {"1E+0499", U'.', fails}, // taken, but beyond a double
    {"1E-0499", U'.', 0.0},
    // The range of a double.
    {"1.7976931348623157e308", U'.', std::numeric_limits<double>::max()},
    {"-1.7976931348623157e308", U'.', -std::numeric_limits<double>::max()},
    {"1.8e308", U'.', fails},
    {"-1.8e308", U'.', fails},
    {"0.0000000001e319", U'.', fails},
    {"100000e304", U'.', fails},
    {"1e-400", U'.', 0.0},
    {"-1e-400", U'.', -0.0},
    {"4.9406564584124654e-324", U'.', std::numeric_limits<double>::denorm_min()},
    {"2.2250738585072014e-308", U'.', std::numeric_limits<double>::min()},
    // Long texts: more digits than any fixed-size scratch space.
    {"1" + std::string(400, '0') + "e-400", U'.', 1.0},
    {"0." + std::string(400, '0') + "125e402", U'.', 12.5},
    {std::string(300, ' ') + "3" + std::string(300, ' '), U'.', 3.0},
    // Characters no number has.
    {"14.5%", U'.', fails},
    {"14.5 %", U'.', fails},
    {"12.3T4.5", U'.', fails},
    {"0x10", U'.', fails},
    {"inf", U'.', fails},
    {"nan", U'.', fails},
    {"\xA0" "14.5", U'.', fails},       // no-break space in most code pages
    {"14k5", U'\u066B', fails},        // a separator's low eight bits are not the separator
    {"\xEF\xBC\x91", U'.', fails},   // a full-width digit in UTF-8
};


class NumberConversion : public testing::TestWithParam<TNumberCase> {};

TEST_P(NumberConversion, ConvertsByTheNumberRulesOrRejects)
{
    ExpectConversion(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Texts, NumberConversion, testing::ValuesIn(Texts));

// A separator outside ASCII is the character it is, in the bytes the ANSI code
// page has for it.
TEST(NumberConversionSeparator, ANonAsciiSeparatorMatchesItsBytesInTheCodePage)
{
    // Latin-1 and Windows-1252 agree on these bytes.
    const std::vector<TNumberCase> singleByte = {
        {"14\xB7" "5", U'\u00B7', 14.5},
        {"\xB7" "5", U'\u00B7', 0.5},
        {"14.5", U'\u00B7', fails},
        {"14?5", U'\u066B', fails},  // the code page's substitute is no separator
    };
#ifdef _WIN32
    if (AnsiCodePageName() != "CP1252")
        GTEST_SKIP() << "the cases are written for code page 1252, not " << AnsiCodePageName();
    ExpectConversions(singleByte);
#else
    if (LocaleExists("en_US.ISO-8859-1")) {
        TEnvironmentLocale latin1("en_US.ISO-8859-1");
        ExpectConversions(singleByte);
    }
    TEnvironmentLocale utf8("C.UTF-8");
    ExpectConversions({
        {"14\xC2\xB7" "5", U'\u00B7', 14.5},
        {"14\xD9\xAB" "5", U'\u066B', 14.5},  // the Arabic decimal separator
        {"14\xB7" "5", U'\u00B7', fails},      // half a character
        {"14\xC2\xB7", U'\u00B7', 14.0},
    });
#endif
}

TEST(NumberConversionError, ThrowsAConversionErrorThatNamesTheText)
{
    const struct {
        const char *Text;
        const char *Named;  // how the message shows the text
    } cases[] = {
        {"12.3T4.5", "\"12.3T4.5\""},
        {"\t1\x80", "\\x091\\x80"},  // bytes that would not print, escaped
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Named);
        try {
            TextToFloat(c.Text, U'.');
            ADD_FAILURE() << "no error";
        } catch (const EConvertError &error) {
            EXPECT_NE(std::string(error.what()).find(c.Named), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(TextToFloat(" 21,3 ", U','), 21.3);
}

} // namespace
