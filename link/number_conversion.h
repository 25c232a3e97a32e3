// SPDX-License-Identifier: Apache-2.0
// The text-to-number conversion that reading messages rely on: the rules of the
// platform's conversion for the user's locale, on bytes in the ANSI code page.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// A text that is not a number. The message names the text.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where and why a text is no number.
struct TNumberFault {
    enum class TKind {
        NoDigits,       // empty, a lone sign, or the exponent letter first
        StrayCharacter, // a character the rules do not allow here
        LongExponent,   // an exponent digit left over after 500 was reached
        OutOfRange,     // too large for a double
    };
    TKind Kind = TKind::NoDigits;
    std::size_t Position = 0;  // StrayCharacter, LongExponent: the byte's index in the text
};

// Converts a number's text. Accepted, and nothing else:
//   spaces (the space character only),
//   an optional '+' or '-',
//   digits, optionally followed by the decimal separator and more digits; at least
//   one digit or the separator must come (a lone separator is 0),
//   optionally 'E' or 'e', an optional sign and digits (none means exponent 0);
//   exponent digits are taken while the exponent so far is below 500, and a digit
//   left over fails,
//   spaces, then the end.
// A value beyond the range of a double fails; one too small for it becomes 0 or a
// subnormal. The text is in the ANSI code page, and the separator matches the
// bytes that code page writes for it (one or more), as the character it is: a
// separator outside ASCII (U+00B7, byte 0xB7 in code page 1252) works too. All
// ANSI code pages are ASCII supersets, so any other non-ASCII byte can never be
// a digit, sign, space or an ASCII separator and fails the text.
// Returns nothing when the text is not a number, and then fills `fault` when
// one is given.
std::optional<double> TryTextToFloat(std::string_view text, char32_t decimalSeparator,
                                     TNumberFault *fault = nullptr);

// Why the text is no number, in words: "'%' at character 5", "no digits", ...
std::string NumberFaultText(std::string_view text, const TNumberFault &fault);

// The text for a message: printable ASCII as it stands, other bytes as \xNN.
std::string PrintableText(std::string_view text);

// The bytes of the decimal separator in the ANSI code page; empty when the code
// page has no such character (its substitute, "?", must not pass for it).
std::string AnsiDecimalSeparator(char32_t decimalSeparator);

// As TryTextToFloat; throws EConvertError when the text is not a number.
double TextToFloat(std::string_view text, char32_t decimalSeparator);
