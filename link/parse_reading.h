// SPDX-License-Identifier: Apache-2.0
// The reading message parser: turns the message of text that the meter sends
// (ReadingMessageSize bytes) into one TReading.
#pragma once

#include "link/number_conversion.h"
#include "link/reading.h"

#include <cstdint>

// A message that makes no reading. what() names the rule of the message that it
// broke, for the trace: "only 7 of the 8 colons: no value 8, ...", "no 'W' for
// water at or after value 8", "moisture (value 3) \"14.5%\" is not a number:
// '%' at character 5".
class EMessageDropped : public EConvertError {
public:
    using EConvertError::EConvertError;
};

// Parses the message of n bytes in buffer, in place. The buffer is the worker's
// receive buffer as the exchange leaves it: position 0 holds the acknowledgement
// byte, 1 to n - 1 the message, n to n + 9 are 0. Values 1 to 8 follow colons;
// protein, oil, water and starch follow the letters B or P, T or O, W and S,
// searched for from value 8 on. Line ends and '%' signs become NUL and the first
// '.' or ',' of each number's scan becomes the decimal separator, so the message
// may use either mark.
//
// Writes only positions 0 to n - 1 and reads only those: positions from n on are
// taken to be NUL whatever they hold.
//
// Throws EMessageDropped (an EConvertError) when one of the six numbers does not
// convert; the clock is then not read. On success, Timestamp is the local time at the end of the parse.
//
// Takes the decimal separator from the current regional settings at every call.
TReading ParseReading(std::uint8_t *buffer, std::int32_t n);

// As above, with the decimal separator given.
TReading ParseReading(std::uint8_t *buffer, std::int32_t n, char32_t decimalSeparator);
