// SPDX-License-Identifier: Apache-2.0
// Letter case in UTF-16 names, ASCII letters only: the case that Bluetooth
// device names differ in when a meter is renamed by hand or a look-alike is
// made. Every other character stays as it is.
#pragma once

#include <string>
#include <string_view>

inline std::u16string AsciiLowerCase(std::u16string_view text)
{
    std::u16string lower(text);
    for (char16_t &unit : lower)
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    return lower;
}
