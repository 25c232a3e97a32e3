// SPDX-License-Identifier: Apache-2.0
// One parsed reading of the meter: a plain value record.
#pragma once

#include "platform/text/date_time.h"

#include <array>
#include <cstddef>
#include <string_view>

// A text field of fixed width: the value's bytes (ANSI code page) up to the first
// NUL, the rest NUL. A text that fills its field has no NUL after it.
template <std::size_t Width>
using TTextField = std::array<char, Width>;

// The field's text: up to the first NUL, never more than the width.
template <std::size_t Width>
std::string_view FieldText(const TTextField<Width> &field)
{
    std::size_t length = 0;
    while (length < Width && field[length] != '\0')
        ++length;
    return {field.data(), length};
}

struct TReading {
    TTextField<4> Range{};
    TTextField<6> Serial{};
    double Moisture = 0;     // percent
    double Temperature = 0;  // degrees Celsius
    std::array<TTextField<7>, 4> IR{};  // the four raw detector texts, "IR1" to "IR4"
    double Protein = 0;  // percent
    double Oil = 0;      // percent
    double Water = 0;    // percent
    double Starch = 0;   // percent
    TDateTime Timestamp = 0;  // local time at which the message was parsed
};
