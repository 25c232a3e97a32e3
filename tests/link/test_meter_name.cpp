// SPDX-License-Identifier: Apache-2.0
// How near a device name comes to the meter's, as the scan marks it.
#include "link/meter_identity.h"
#include "link/meter_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::u16string Meter(MeterDeviceNameView);

struct TLikenessCase {
    const char *Label;
    std::u16string Name;
    TNameLikeness Likeness;
    std::string Difference;
};

TEST(MeterName, OnlyTheExactNameIsTheMeterAndLookAlikesAreNearMisses)
{
    constexpr TNameLikeness IsMeter = TNameLikeness::Meter, NearMiss = TNameLikeness::NearMiss,
                            Other = TNameLikeness::Other;
    const TLikenessCase cases[] = {
        {"exact", Meter, IsMeter, ""},
        {"lower case", u"dravel-glax20k", NearMiss, "letter case differs"},
        {"one letter in other case", u"Dravel-GLAX20K", NearMiss, "letter case differs"},
        {"trailing space", Meter + u" ", NearMiss, "spaces around it"},
        {"leading tab", u"\t" + Meter, NearMiss, "spaces around it"},
        {"other case and a space", u"DRAVEL-GLAX20K ", NearMiss, "letter case differs and spaces around it"},
        {"goes on after the name", Meter + u"-0042", NearMiss, "characters added"},
        {"a prefix before it", u"BT " + Meter, NearMiss, "characters added"},
        {"only the beginning", Meter.substr(0, 13), NearMiss, "characters missing"},
        {"half of it", u"GLAX20k", NearMiss, "characters missing"},
        {"less than half of it", u"GLAX20", Other, ""},
        {"a space for the hyphen", u"Dravel GLAX20k", NearMiss, "1 character differs"},
        {"a typographic hyphen", u"Dravel\u2010GLAX20k", NearMiss, "1 character differs"},
        {"hyphen gone, one letter changed", u"DravelGLAX21k", NearMiss, "2 characters differ"},
        {"three characters changed", u"Dravel-GLAX999", Other, ""},
        {"another device", u"Phone", Other, ""},
        {"empty", u"", Other, ""},
        {"only spaces", u"   ", Other, ""},
    };
    for (const TLikenessCase &c : cases) {
        SCOPED_TRACE(c.Label);
        const TNameComparison comparison = CompareWithMeterName(c.Name);
        EXPECT_EQ(comparison.Likeness, c.Likeness);
        EXPECT_EQ(comparison.Difference, c.Difference);
        // Discovery's own rule agrees on the meter, and on nothing else.
        EXPECT_EQ(IsMeterName(c.Name), c.Likeness == IsMeter);
    }
}

TEST(MeterName, QuotedNamesShowSpacesEscapesAndEveryCharacter)
{
    const struct {
        std::u16string Name;
        std::string Quoted;
    } cases[] = {
        {Meter, "\"Dravel-GLAX20k\""},
        {u"", "\"\""},
        {u" x ", "\" x \""},
        {u"a\"b\\c", "\"a\\\"b\\\\c\""},
        {u"tab\there\x7F", "\"tab\\x09here\\x7F\""},
        {u"Wei\u00DFe \U0001F33E", "\"Wei\xC3\x9F" "e \xF0\x9F\x8C\xBE\""},
        {std::u16string(1, u'\xD800') + u"x", "\"\xEF\xBF\xBDx\""},  // a lone surrogate
    };
    for (const auto &c : cases)
        EXPECT_EQ(QuotedName(c.Name), c.Quoted);
}

TEST(MeterName, ANameEndsAtItsZeroOrAtTheRecordsEnd)
{
    std::array<char16_t, 248> record{};
    std::u16string_view(u"Phone").copy(record.data(), 5);
    EXPECT_EQ(NameOf(record), u"Phone");
    record.fill(u'x');
    EXPECT_EQ(NameOf(record).size(), record.size());
}

} // namespace
