#include "link/number_conversion.h"

#include "platform/code_page.h"
#include "tests/support/environment_locale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace {

struct TNumberCase {
    std::string text;
    char32_t separator;
    std::optional<double> expected; // nothing: the text is not a number
};

void PrintTo(const TNumberCase &c, std::ostream *out)
{
    *out << '"' << c.text << "\" with '" << static_cast<char>(c.separator) << "'";
}

class NumberConversion : public testing::TestWithParam<TNumberCase> {};

TEST_P(NumberConversion, ConvertsByTheNumberRulesOrRejects)
{
    const TNumberCase &c = GetParam();
    const std::optional<double> value = TryTextToFloat(c.text, c.separator);
    ASSERT_EQ(value.has_value(), c.expected.has_value()) << (value ? *value : 0.0);
    if (c.expected) {
        EXPECT_EQ(*value, *c.expected);
    }
}

const std::optional<double> fails;

INSTANTIATE_TEST_SUITE_P(SeparatorOfTheLocale, NumberConversion, testing::Values(
    TNumberCase{"14.5", U'.', 14.5},
    TNumberCase{"14,5", U',', 14.5},
    TNumberCase{"14,5", U'.', fails},
    TNumberCase{"14.5", U',', fails},
    TNumberCase{"1,234.5", U'.', fails},
    TNumberCase{"1,234.5", U',', fails},
    TNumberCase{"1.234,5", U',', fails},
    TNumberCase{"1..5", U'.', fails},
    TNumberCase{".", U'.', 0.0},
    TNumberCase{",", U',', 0.0},
    TNumberCase{"-.", U'.', 0.0},
    TNumberCase{" . ", U'.', 0.0},
    TNumberCase{".5", U'.', 0.5},
    TNumberCase{"5.", U'.', 5.0},
    TNumberCase{"..", U'.', fails},
    TNumberCase{"007.250", U'.', 7.25}));

INSTANTIATE_TEST_SUITE_P(SpacesAndSigns, NumberConversion, testing::Values(
    TNumberCase{"   14.5", U'.', 14.5},
    TNumberCase{"14.5   ", U'.', 14.5},
    TNumberCase{"  -14.5  ", U'.', -14.5},
    TNumberCase{"+14.5", U'.', 14.5},
    TNumberCase{"\t14.5", U'.', fails},
    TNumberCase{"14.5\t", U'.', fails},
    TNumberCase{"- 14.5", U'.', fails},
    TNumberCase{"+-1", U'.', fails},
    TNumberCase{"", U'.', fails},
    TNumberCase{"   ", U'.', fails},
    TNumberCase{"+", U'.', fails},
    TNumberCase{"-", U'.', fails},
    TNumberCase{std::string("1\0", 2), U'.', fails}));

INSTANTIATE_TEST_SUITE_P(Exponents, NumberConversion, testing::Values(
    TNumberCase{"1.45E1", U'.', 14.5},
    TNumberCase{"145e-1", U'.', 14.5},
    TNumberCase{"1,45e+1", U',', 14.5},
    TNumberCase{"2E", U'.', 2.0},
    TNumberCase{"2e+", U'.', 2.0},
    TNumberCase{"2e- ", U'.', 2.0},
    TNumberCase{"1E1 ", U'.', 10.0},
    TNumberCase{"1 E1", U'.', fails},
    TNumberCase{"E5", U'.', fails},
    TNumberCase{".E5", U'.', 0.0},
    TNumberCase{"1E5E5", U'.', fails},
    // Digits are taken while the exponent so far is below 500.
    TNumberCase{"0E4999", U'.', 0.0},
    TNumberCase{"0E5000", U'.', fails},
    TNumberCase{"0E49999", U'.', fails},
    TNumberCase{"1E-4999", U'.', 0.0},
    TNumberCase{"1E00000000000000000003", U'.', 1000.0},
    TNumberCase{"1E+0499", U'.', fails}, // taken, but beyond a double
    TNumberCase{"1E-0499", U'.', 0.0}));

INSTANTIATE_TEST_SUITE_P(RangeOfADouble, NumberConversion, testing::Values(
    TNumberCase{"1.7976931348623157e308", U'.', std::numeric_limits<double>::max()},
    TNumberCase{"-1.7976931348623157e308", U'.', -std::numeric_limits<double>::max()},
    TNumberCase{"1.8e308", U'.', fails},
    TNumberCase{"-1.8e308", U'.', fails},
    TNumberCase{"0.0000000001e319", U'.', fails},
    TNumberCase{"100000e304", U'.', fails},
    TNumberCase{"1e-400", U'.', 0.0},
    TNumberCase{"-1e-400", U'.', 0.0},
    TNumberCase{"4.9406564584124654e-324", U'.', std::numeric_limits<double>::denorm_min()},
    TNumberCase{"2.2250738585072014e-308", U'.', std::numeric_limits<double>::min()},
    // Long texts: more digits than any fixed-size scratch space.
    TNumberCase{"1" + std::string(400, '0') + "e-400", U'.', 1.0},
    TNumberCase{"0." + std::string(400, '0') + "125e402", U'.', 12.5},
    TNumberCase{std::string(300, ' ') + "3" + std::string(300, ' '), U'.', 3.0}));

INSTANTIATE_TEST_SUITE_P(OtherCharacters, NumberConversion, testing::Values(
    TNumberCase{"14.5%", U'.', fails},
    TNumberCase{"14.5 %", U'.', fails},
    TNumberCase{"12.3T4.5", U'.', fails},
    TNumberCase{"0x10", U'.', fails},
    TNumberCase{"inf", U'.', fails},
    TNumberCase{"nan", U'.', fails},
    TNumberCase{"\xA0" "14.5", U'.', fails},       // no-break space in most code pages
    TNumberCase{"14k5", U'\u066B', fails},        // a separator's low eight bits are not the separator
    TNumberCase{"\xEF\xBC\x91", U'.', fails}));   // a full-width digit in UTF-8

// A separator outside ASCII is the character it is, in the bytes the ANSI code
// page has for it.
struct TCodePageCase {
    std::string Text;
    char32_t Separator;
    std::optional<double> Expected;
};

void ExpectConversions(const std::vector<TCodePageCase> &cases)
{
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "\"" << c.Text << "\" with U+" << std::hex << static_cast<unsigned>(c.Separator));
        EXPECT_EQ(TryTextToFloat(c.Text, c.Separator), c.Expected);
    }
}

TEST(NumberConversionSeparator, ANonAsciiSeparatorMatchesItsBytesInTheCodePage)
{
    const std::optional<double> fails;
    // Latin-1 and Windows-1252 agree on these bytes.
    const std::vector<TCodePageCase> singleByte = {
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

TEST(NumberConversionSign, KeepsTheSignOfZero)
{
    // The value is the sign applied to the magnitude, as the platform's conversion does.
    EXPECT_TRUE(std::signbit(*TryTextToFloat("-0.0", U'.')));
    EXPECT_FALSE(std::signbit(*TryTextToFloat("0.0", U'.')));
}

TEST(NumberConversionError, ThrowsAConversionErrorThatNamesTheText)
{
    try {
        TextToFloat("12.3T4.5", U'.');
        FAIL() << "no error";
    } catch (const EConvertError &error) {
        EXPECT_NE(std::string(error.what()).find("\"12.3T4.5\""), std::string::npos) << error.what();
    }
    try {
        TextToFloat("\t1\x80", U'.');
        FAIL() << "no error";
    } catch (const EConvertError &error) {
        EXPECT_NE(std::string(error.what()).find("\\x091\\x80"), std::string::npos) << error.what();
    }
    EXPECT_EQ(TextToFloat(" 21,3 ", U','), 21.3);
}

} // namespace
