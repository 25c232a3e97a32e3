// SPDX-License-Identifier: Apache-2.0
#include "link/meter_name.h"

#include "link/meter_identity.h"
#include "platform/text/ascii_case.h"
#include "platform/text/utf8.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

bool IsBlank(char16_t unit)
{
    return unit == u' ' || unit == u'\t';
}

std::u16string_view Trimmed(std::u16string_view name)
{
    while (!name.empty() && IsBlank(name.front()))
        name.remove_prefix(1);
    while (!name.empty() && IsBlank(name.back()))
        name.remove_suffix(1);
    return name;
}

// The fewest code units to add, remove or change to turn one text into the other.
std::size_t EditDistance(std::u16string_view a, std::u16string_view b)
{
    std::vector<std::size_t> previous(b.size() + 1);
    std::vector<std::size_t> current(b.size() + 1);
    std::iota(previous.begin(), previous.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, change});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

TNameComparison NearMiss(std::string difference)
{
    return {TNameLikeness::NearMiss, std::move(difference)};
}

constexpr std::size_t MostCharactersDiffering = 2;

} // namespace

std::u16string_view NameOf(const std::array<char16_t, 248> &name)
{
    const auto end = std::find(name.begin(), name.end(), u'\0');
    return {name.data(), static_cast<std::size_t>(end - name.begin())};
}

bool IsMeterName(std::u16string_view name)
{
    return name == MeterDeviceNameView;
}

TNameComparison CompareWithMeterName(std::u16string_view name)
{
    if (IsMeterName(name))
        return {TNameLikeness::Meter, {}};
    const std::u16string_view trimmed = Trimmed(name);
    if (trimmed.empty())
        return {};
    const std::u16string folded = AsciiLowerCase(trimmed);
    const std::u16string meter = AsciiLowerCase(MeterDeviceNameView);

    if (folded == meter) {
        const bool spaces = trimmed.size() != name.size();
        const bool letterCase = trimmed != MeterDeviceNameView;
        if (spaces && letterCase)
            return NearMiss("letter case differs and spaces around it");
        return NearMiss(spaces ? "spaces around it" : "letter case differs");
    }
    if (folded.find(meter) != std::u16string::npos)
        return NearMiss("characters added");
    if (meter.find(folded) != std::u16string::npos && folded.size() * 2 >= meter.size())
        return NearMiss("characters missing");
    const std::size_t distance = EditDistance(folded, meter);
    if (distance <= MostCharactersDiffering)
        return NearMiss(distance == 1 ? "1 character differs" : std::to_string(distance) + " characters differ");
    return {};
}

std::string QuotedName(std::u16string_view name)
{
    std::string quoted = "\"";
    for (std::size_t i = 0; i < name.size(); ++i) {
        char32_t code = name[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF)
            code = 0x10000 + ((code - 0xD800) << 10) + (name[++i] - 0xDC00);
        else if (code >= 0xD800 && code <= 0xDFFF)
            code = 0xFFFD;
        if (code == U'"' || code == U'\\') {
            quoted += '\\';
            quoted += static_cast<char>(code);
        } else if (code < 0x20 || code == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(code));
            quoted += escaped;
        } else {
            AppendUtf8(quoted, code);
        }
    }
    return quoted + "\"";
}
