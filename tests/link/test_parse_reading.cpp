// SPDX-License-Identifier: Apache-2.0
#include "link/parse_reading.h"

#include "link/meter_link.h"
#include "platform/text/code_page.h"
#include "platform/text/date_time.h"
#include "platform/text/regional_settings.h"
#include "tests/support/environment_locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using TBuffer = std::array<std::uint8_t, ReceiveBufferSize>;

// The receive buffer as the exchange leaves it: the message from position 0 on,
// position 0 overwritten by the acknowledgement, zero from 136 on.
TBuffer BufferWith(const std::string &message)
{
    TBuffer buffer{};
    std::copy_n(message.begin(), std::min<std::size_t>(message.size(), ReadingMessageSize), buffer.begin());
    buffer[0] = AckByte;
    return buffer;
}

// A message with the eight values on lines of their own, each after a label
// "x:", then the analysis line.
std::string Message(const std::vector<std::string> &values, const std::string &analysis,
                    const std::string &lineEnd = "\r\n")
{
    std::string message;
    for (const std::string &value : values)
        message += "x:" + value + lineEnd;
    return message + analysis + lineEnd;
}

const std::vector<std::string> baseValues{"123456", "AB1", "14.5", "21.3", "101", "102", "103", "104"};
const std::string baseAnalysis = "B12.3%T4.5%W13.0%S60.1%";

std::vector<std::string> BaseWith(std::size_t index, const std::string &value)
{
    std::vector<std::string> values = baseValues;
    values[index] = value;
    return values;
}

struct TExpected {
    std::string Serial = "123456";
    std::string Range = "AB1";
    double Moisture = 14.5;
    double Temperature = 21.3;
    std::array<std::string, 4> IR{"101", "102", "103", "104"};
    double Protein = 12.3;
    double Oil = 4.5;
    double Water = 13.0;
    double Starch = 60.1;
};

void ExpectReading(const TReading &reading, const TExpected &expected)
{
    EXPECT_EQ(FieldText(reading.Serial), expected.Serial);
    EXPECT_EQ(FieldText(reading.Range), expected.Range);
    EXPECT_EQ(reading.Moisture, expected.Moisture);
    EXPECT_EQ(reading.Temperature, expected.Temperature);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(FieldText(reading.IR[i]), expected.IR[i]) << "IR" << i + 1;
    EXPECT_EQ(reading.Protein, expected.Protein);
    EXPECT_EQ(reading.Oil, expected.Oil);
    EXPECT_EQ(reading.Water, expected.Water);
    EXPECT_EQ(reading.Starch, expected.Starch);
}

// The record, or what the reason for dropping the reading says in either locale.
struct TOutcome {
    TOutcome(const TExpected &reading) : Reading(reading) {}
    explicit TOutcome(std::vector<std::string> dropReason) : DropReason(std::move(dropReason)) {}
    std::optional<TExpected> Reading;  // nothing: the reading is dropped
    std::vector<std::string> DropReason;
};

TOutcome Dropped(std::vector<std::string> reason)
{
    return TOutcome(std::move(reason));
}

const TExpected base;

struct TMessageCase {
    const char *name;
    std::string message;
    TOutcome expected;
};

TExpected With(void (*change)(TExpected &))
{
    TExpected expected = base;
    change(expected);
    return expected;
}

std::vector<TMessageCase> MessageCases()
{
    return {
        {"Base", Message(baseValues, baseAnalysis), base},
        {"CommaMarks", Message({"123456", "AB1", "14,5", "21,3", "101", "102", "103", "104"}, "B12,3%T4,5%W13,0%S60,1%"),
         base},
        {"LineFeedsOnly", Message(baseValues, baseAnalysis, "\n"), base},
        {"CarriageReturnsOnly", Message(baseValues, baseAnalysis, "\r"), base},
        {"AnalysisInReverseOrder", Message(baseValues, "S60.1%W13.0%T4.5%B12.3%"), base},
        {"LettersPAndO", Message(baseValues, "P12.3%O4.5%W13.0%S60.1%"), base},
        {"SpacesAroundNumbers",
         Message({" 123456", "AB1", " 14.5 ", "  21.3", "101", "102", "103", "104"},
                 "B 12.3 %T 4.5 %W  13.0%S 60.1  %"),
         With([](TExpected &e) { e.Serial = " 12345"; })},
        {"LastPercentMissing", Message(baseValues, "B12.3%T4.5%W13.0%S60.1"), base},
        {"LetterInsideValue8Counts", Message(BaseWith(7, "P12"), "T4.5%W13.0%S60.1%"),
         With([](TExpected &e) {
             e.IR[3] = "P12";
             e.Protein = 12.0;
         })},
        {"ExponentInMoisture", Message(BaseWith(2, "1.45E1"), baseAnalysis), base},
        {"NegativeTemperature", Message(BaseWith(3, "-2.5"), baseAnalysis),
         With([](TExpected &e) { e.Temperature = -2.5; })},
        {"EmptyRangeAndFirstIR", Message({"123456", "", "14.5", "21.3", "", "102", "103", "104"}, baseAnalysis),
         With([](TExpected &e) {
             e.Range = "";
             e.IR[0] = "";
         })},
        {"TabBeforeMoisture", Message(BaseWith(2, "\t14.5"), baseAnalysis),
         Dropped({"moisture (value 3) \"\\x0914", "'\\x09' at character 1 where a digit should be"})},
        {"ProteinPercentMissing", Message(baseValues, "B12.3T4.5%W13.0%S60.1%"),
         Dropped({"protein \"12", "'T' at character 5 (no '%' or line end after the number)"})},
        {"WaterMissing", Message(baseValues, "B12.3%T4.5%S60.1%"), Dropped({"no 'W' for water at or after value 8"})},
        {"SevenColons",
         Message({"123456", "AB1", "14.5", "21.3", "101", "102", "103"}, "x104\r\n" + baseAnalysis),
         Dropped({"only 7 of the 8 colons: no value 8"})},
        {"OneLine", "x:123456:AB1:14.5:21.3:101:102:103:104:B12.3%T4.5%W13.0%S60.1%\r\n",
         Dropped({"moisture (value 3)", "':' at character 5 (no line end after the number)"})},
        {"FirstByteIsAColon", ":123456\r\n:AB1\r\n:14.5\r\n:21.3\r\n:101\r\n:102\r\n:103\r\n:104\r\n" + baseAnalysis,
         Dropped({"only 7 of the 8 colons"})},
        {"PercentAfterMoisture", Message(BaseWith(2, "14.5%"), baseAnalysis),
         Dropped({"moisture (value 3)", "'%' at character 5"})},
        {"UnitAfterTemperature", Message(BaseWith(3, "21.3C"), baseAnalysis),
         Dropped({"temperature (value 4)", "'C' at character 5"})},
        {"ThousandsSeparator", Message(BaseWith(2, "1,234.5"), baseAnalysis),
         Dropped({"moisture (value 3)", "at character 6 (a second decimal mark)"})},
        {"MoistureBeyondADouble", Message(BaseWith(2, "1E309"), baseAnalysis),
         Dropped({"moisture (value 3)", "too large for a number"})},
        {"EmptyProtein", Message(baseValues, "B%T4.5%W13.0%S60.1%"), Dropped({"protein \"\" is not a number: empty"})},
        {"Empty", "", Dropped({"only 0 of the 8 colons"})},
    };
}

class ParseMessage : public testing::TestWithParam<std::tuple<TMessageCase, char32_t>> {};

TEST_P(ParseMessage, AcceptsTheRecordOrDropsTheReading)
{
    const auto &[c, separator] = GetParam();
    TBuffer buffer = BufferWith(c.message);
    if (!c.expected.Reading) {
        // The reason names the rule the message broke, for the trace.
        try {
            ParseReading(buffer.data(), ReadingMessageSize, separator);
            ADD_FAILURE() << "accepted";
        } catch (const EMessageDropped &error) {
            for (const std::string &part : c.expected.DropReason)
                EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
        }
        return;
    }
    const TDateTime before = NowLocal();
    const TReading reading = ParseReading(buffer.data(), ReadingMessageSize, separator);
    const TDateTime after = NowLocal();
    ExpectReading(reading, *c.expected.Reading);
    EXPECT_GE(reading.Timestamp, before);
    EXPECT_LE(reading.Timestamp, after);
}

INSTANTIATE_TEST_SUITE_P(
    InEitherLocale, ParseMessage, testing::Combine(testing::ValuesIn(MessageCases()), testing::Values(U'.', U',')),
    [](const testing::TestParamInfo<ParseMessage::ParamType> &info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) == U'.' ? "_Point" : "_Comma");
    });

TEST(ParseReadingTexts, TextsAreCutToTheirWidthAndAFullFieldHasNoNulAfterIt)
{
    TBuffer buffer = BufferWith(Message({"1234567", "ABCDE", "14.5", "21.3", "12345678", "102", "103", "104"},
                                        baseAnalysis));
    const TReading reading = ParseReading(buffer.data(), ReadingMessageSize, U'.');
    EXPECT_EQ(std::string(reading.Range.begin(), reading.Range.end()), "ABCD");
    EXPECT_EQ(std::string(reading.Serial.begin(), reading.Serial.end()), "123456");
    EXPECT_EQ(std::string(reading.IR[0].begin(), reading.IR[0].end()), "1234567");
    // A shorter text is followed by NULs only.
    EXPECT_EQ(std::string(reading.IR[1].begin(), reading.IR[1].end()), std::string("102\0\0\0\0", 7));
}

// Moisture and temperature without a decimal mark: their scans run on into the
// first IR text and give it the locale's separator.
TEST(ParseReadingRunOn, AMarkMissingFromANumberRewritesTheNextMarkFurtherOn)
{
    const std::string message = Message({"123456", "AB1", "14", "21", "1.5", "102", "103", "104"}, baseAnalysis);
    for (const auto &[separator, ir1] : {std::pair{U',', "1,5"}, std::pair{U'.', "1.5"}}) {
        TBuffer buffer = BufferWith(message);
        const TReading reading = ParseReading(buffer.data(), ReadingMessageSize, separator);
        EXPECT_EQ(reading.Moisture, 14.0);
        EXPECT_EQ(reading.Temperature, 21.0);
        EXPECT_EQ(FieldText(reading.IR[0]), ir1);
        EXPECT_EQ(FieldText(reading.IR[1]), "102");
        EXPECT_EQ(reading.Protein, 12.3);
    }
}

TEST(ParseReadingRunOn, AMissingPercentLetsTheScanCutTheNextOne)
{
    // Protein without its '%' runs on and cuts oil's; oil's scan then cuts water's,
    // and so on, but each number still ends at the first NUL after it.
    const std::string message = Message(baseValues, "B12.3 \rT4.5%W13.0%S60.1%");
    TBuffer buffer = BufferWith(message);
    const TReading reading = ParseReading(buffer.data(), ReadingMessageSize, U',');
    ExpectReading(reading, base);
    const std::string analysis(reinterpret_cast<const char *>(&buffer[message.find("B12")]), 26);
    EXPECT_EQ(analysis, std::string("B12,3 \0T4,5\0W13,0\0S60,1\0\0\0", 26));
}

TEST(ParseReadingBuffer, RewritesOnlyLineEndsPercentSignsAndMarksInPlace)
{
    const std::string message = Message(baseValues, baseAnalysis);
    TBuffer buffer = BufferWith(message);
    ParseReading(buffer.data(), ReadingMessageSize, U',');

    std::string expected = message;
    expected[0] = static_cast<char>(AckByte);
    for (char &c : expected) {
        if (c == '\r' || c == '\n' || c == '%')
            c = '\0';
        if (c == '.')
            c = ',';
    }
    expected.resize(ReceiveBufferSize, '\0');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected);
}

TEST(ParseReadingBuffer, NeitherReadsNorWritesFromTheMessageSizeOn)
{
    // Everything from n on is taken as NUL: bytes that would change the parse, or
    // be changed by it, are left alone.
    std::string message = Message(baseValues, "B12.3%T4.5%W13.0%S60.1");
    message.resize(message.size() - 2); // the message ends right after the starch number
    const auto n = static_cast<std::int32_t>(message.size());
    TBuffer buffer = BufferWith(message);
    const std::string beyond = "5.0%\r\n:,.%BTWS:7,0\n";
    for (std::size_t i = static_cast<std::size_t>(n); i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(beyond[i % beyond.size()]);
    const TBuffer before = buffer;

    const TReading reading = ParseReading(buffer.data(), n, U',');

    ExpectReading(reading, base);
    EXPECT_TRUE(std::equal(before.begin() + n, before.end(), buffer.begin() + n));
}

TEST(ParseReadingBuffer, ShortOrEmptyMessagesFailWithoutTouchingTheBuffer)
{
    for (const std::int32_t n : {-1, 0, 1, 20}) {
        TBuffer buffer = BufferWith(Message(baseValues, baseAnalysis));
        const TBuffer before = buffer;
        EXPECT_THROW(ParseReading(buffer.data(), n, U'.'), EConvertError) << n;
        const auto kept = static_cast<std::size_t>(std::max(n, 0));
        EXPECT_TRUE(std::equal(before.begin() + kept, before.end(), buffer.begin() + kept)) << n;
    }
}

class ParseReadingSettings : public testing::Test {
protected:
    void TearDown() override { SetCurrentRegionalSettings(FSaved); }
    TRegionalSettings FSaved = CurrentRegionalSettings();
};

TEST(ParseReadingSeparator, ANonAsciiSeparatorIsReadAsTheCharacterItIs)
{
    // The middle dot is a decimal separator that some regional settings name.
    const struct {
        const char *Locale;  // POSIX: the environment's; null: the code page as it is
        char32_t Separator;
        bool Accepted;
        const char *IrText;  // the first raw text, which the moisture scan runs into
    } cases[] = {
#ifdef _WIN32
        {nullptr, U'\u00B7', true, "1\xB7" "5"},
#else
        {"en_US.ISO-8859-1", U'\u00B7', true, "1\xB7" "5"},
        {"en_US.ISO-8859-1", U'\u066B', false, ""},  // Latin-1 has no such character
        {"C.UTF-8", U'\u00B7', true, "1\xB7" "5"},
        // Two bytes have no room in a mark's one place: a raw text keeps the low byte.
        {"C.UTF-8", U'\u066B', true, "1k5"},
#endif
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Locale != nullptr ? c.Locale : AnsiCodePageName());
#ifdef _WIN32
        if (AnsiCodePageName() != "CP1252")
            GTEST_SKIP() << "the cases are written for code page 1252, not " << AnsiCodePageName();
#else
        if (!LocaleExists(c.Locale))
            continue;
        TEnvironmentLocale locale(c.Locale);
#endif
        // Marks of both kinds; moisture without one lets its scan mark the IR text.
        TBuffer buffer = BufferWith(Message({"123456", "AB1", "14", "21,3", "1.5", "102", "103", "104"},
                                            "B12.3%T4,5%W13.0%S60.1%"));
        try {
            const TReading reading = ParseReading(buffer.data(), ReadingMessageSize, c.Separator);
            EXPECT_TRUE(c.Accepted);
            EXPECT_EQ(reading.Moisture, 14);
            EXPECT_EQ(reading.Temperature, 21.3);
            EXPECT_EQ(reading.Protein, 12.3);
            EXPECT_EQ(reading.Oil, 4.5);
            EXPECT_EQ(reading.Water, 13.0);
            EXPECT_EQ(reading.Starch, 60.1);
            EXPECT_EQ(FieldText(reading.IR[0]), c.IrText);
        } catch (const EConvertError &error) {
            EXPECT_FALSE(c.Accepted) << error.what();
        }
    }
}

TEST_F(ParseReadingSettings, TakesTheSeparatorFromTheCurrentSettingsAtEveryCall)
{
    const std::string message = Message({"123456", "AB1", "14", "21", "1.5", "102", "103", "104"}, baseAnalysis);
    TRegionalSettings settings;
    for (const auto &[separator, ir1] : {std::pair{U',', "1,5"}, std::pair{U'.', "1.5"}, std::pair{U',', "1,5"}}) {
        settings.DecimalSeparator = separator;
        SetCurrentRegionalSettings(settings);
        TBuffer buffer = BufferWith(message);
        EXPECT_EQ(FieldText(ParseReading(buffer.data(), ReadingMessageSize).IR[0]), ir1);
    }
}

} // namespace
