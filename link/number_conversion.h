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
// Returns nothing when the text is not a number.
std::optional<double> TryTextToFloat(std::string_view text, char32_t decimalSeparator);

// The bytes of the decimal separator in the ANSI code page; empty when the code
// page has no such character (its substitute, "?", must not pass for it).
std::string AnsiDecimalSeparator(char32_t decimalSeparator);

// As TryTextToFloat; throws EConvertError when the text is not a number.
double TextToFloat(std::string_view text, char32_t decimalSeparator);
