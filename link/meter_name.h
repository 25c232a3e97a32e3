// SPDX-License-Identifier: Apache-2.0
// Device names as discovery and the scan see them: discovery's exact rule for
// the meter, and, for the scan only, how near another name comes to it.
#pragma once

#include <array>
#include <string>
#include <string_view>

// The name up to its terminating zero; a name that fills the whole record
// without one ends at the record's end.
std::u16string_view NameOf(const std::array<char16_t, 248> &name);

// Discovery's rule: the meter's device has exactly MeterDeviceName, the same
// UTF-16 code units and as many: letter case counts and nothing is trimmed.
bool IsMeterName(std::u16string_view name);

enum class TNameLikeness {
    Meter,     // discovery takes it
    NearMiss,  // looks meant to be the meter, but discovery passes it by
    Other,
};

struct TNameComparison {
    TNameLikeness Likeness = TNameLikeness::Other;
    std::string Difference;  // for a near miss: how it differs, in words
};

// A near miss is a name that is not the meter's but, with letter case
// ignored and spaces at either end left out,
//   - is the meter's name ("letter case differs", "spaces around it"),
//   - or holds the meter's name and more ("characters added"),
//   - or is part of the meter's name, at least half of it ("characters missing"),
//   - or becomes the meter's name by one or two characters added, removed or
//     changed ("1 character differs", "2 characters differ").
// An empty name is no near miss of anything.
TNameComparison CompareWithMeterName(std::u16string_view name);

// The name in UTF-8 between double quotes, with quotes, backslashes and control
// characters escaped, so that a space at either end, or an empty name, shows.
// A lone surrogate becomes U+FFFD.
std::string QuotedName(std::u16string_view name);
