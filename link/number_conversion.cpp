// SPDX-License-Identifier: Apache-2.0
#include "link/number_conversion.h"

#include "platform/text/code_page.h"
#include "platform/text/utf8.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <system_error>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The decimal position of the first significant digit: 0 for 1 to 9.99, 2 for 100,
// -1 for 0.1; only called when some digit is not zero.
long SignificantMagnitude(std::string_view intDigits, std::string_view fracDigits, int exponent)
{
    const auto firstInt = intDigits.find_first_not_of('0');
    if (firstInt != std::string_view::npos)
        return static_cast<long>(intDigits.size() - firstInt - 1) + exponent;
    const auto firstFrac = fracDigits.find_first_not_of('0');
    return -static_cast<long>(firstFrac + 1) + exponent;
}

// A cursor over a number's text: each step takes what it names from the front,
// or nothing.
class TScan {
public:
    explicit TScan(std::string_view text) : FRest(text), FSize(text.size()) {}

    bool AtEnd() const { return FRest.empty(); }
    // Where the rest begins, counted from the text's beginning.
    std::size_t Position() const { return FSize - FRest.size(); }

    void SkipSpaces()
    {
        while (!FRest.empty() && FRest.front() == ' ')
            FRest.remove_prefix(1);
    }

    // True when the text goes on with `prefix`, which is then taken.
    bool Take(std::string_view prefix)
    {
        if (prefix.empty() || !FRest.starts_with(prefix))
            return false;
        FRest.remove_prefix(prefix.size());
        return true;
    }

    // One of `letters`, when the text goes on with it.
    char TakeOneOf(std::string_view letters)
    {
        if (FRest.empty() || letters.find(FRest.front()) == std::string_view::npos)
            return 0;
        const char taken = FRest.front();
        FRest.remove_prefix(1);
        return taken;
    }

    std::string_view TakeDigits()
    {
        std::size_t count = 0;
        while (count < FRest.size() && IsDigit(FRest[count]))
            ++count;
        const std::string_view digits = FRest.substr(0, count);
        FRest.remove_prefix(count);
        return digits;
    }

private:
    std::string_view FRest;
    std::size_t FSize;
};

// The parts of a number's text as the scan finds them.
struct TNumberText {
    bool Negative = false;
    std::string_view IntDigits;
    std::string_view FracDigits;
    int Exponent = 0;
};

// The exponent after its letter: an optional sign and digits, none meaning 0.
// Digits are taken while the exponent so far is below 500; nothing when a digit
// is left over.
std::optional<int> TakeExponent(TScan &scan)
{
    const bool negative = scan.TakeOneOf("+-") == '-';
    int exponent = 0;
    for (const char digit : scan.TakeDigits()) {
        if (exponent >= 500)
            return std::nullopt;
        exponent = exponent * 10 + (digit - '0');
    }
    return negative ? -exponent : exponent;
}

// Splits a number's text into its parts; nothing when it is not a number, and
// then `fault` (when given) says where and why.
std::optional<TNumberText> ScanNumber(std::string_view text, std::string_view separator, TNumberFault *fault)
{
    TScan scan(text);
    const auto fail = [&](TNumberFault::TKind kind) -> std::optional<TNumberText> {
        if (fault != nullptr)
            *fault = {kind, scan.Position()};
        return std::nullopt;
    };
    TNumberText number;
    scan.SkipSpaces();
    number.Negative = scan.TakeOneOf("+-") == '-';
    number.IntDigits = scan.TakeDigits();
    const bool hasSeparator = scan.Take(separator);
    if (hasSeparator)
        number.FracDigits = scan.TakeDigits();
    if (number.IntDigits.empty() && !hasSeparator)
        return fail(TNumberFault::TKind::NoDigits); // empty, a lone sign, or the exponent letter first
    if (scan.TakeOneOf("Ee")) {
        const std::optional<int> exponent = TakeExponent(scan);
        if (!exponent)
            return fail(TNumberFault::TKind::LongExponent);
        number.Exponent = *exponent;
    }
    scan.SkipSpaces();
    if (!scan.AtEnd())
        return fail(TNumberFault::TKind::StrayCharacter);
    return number;
}

// Converts the checked parts with the locale-independent, correctly rounding
// conversion of the standard library.
std::optional<double> Convert(std::string_view intDigits, std::string_view fracDigits, int exponent)
{
    // "<int>.<frac>e<exponent>"; the exponent has at most five characters.
    const std::size_t length = intDigits.size() + 1 + fracDigits.size() + 1 + 5;
    char local[96];
    std::string heap;
    char *text = local;
    if (length > sizeof local) {
        heap.resize(length);
        text = heap.data();
    }
    char *out = text;
    out += intDigits.copy(out, intDigits.size());
    *out++ = '.';
    out += fracDigits.copy(out, fracDigits.size());
    *out++ = 'e';
    out = std::to_chars(out, text + length, exponent).ptr;

    double value = 0;
    const auto [end, error] = std::from_chars(text, out, value);
    if (error == std::errc::result_out_of_range) {
        // Too large for a double fails; too small is zero, as the platform's
        // conversion gives when it stores its result as a double.
        if (SignificantMagnitude(intDigits, fracDigits, exponent) > 0)
            return std::nullopt;
        return 0.0;
    }
    if (error != std::errc() || end != out)
        return std::nullopt; // cannot happen after the checks; fail rather than guess
    return value;
}

// The value of the digits and the exponent, without the sign.
std::optional<double> MagnitudeOf(const TNumberText &number)
{
    const bool allZero = number.IntDigits.find_first_not_of('0') == std::string_view::npos
                         && number.FracDigits.find_first_not_of('0') == std::string_view::npos;
    if (allZero)
        return 0.0;
    return Convert(number.IntDigits, number.FracDigits, number.Exponent);
}

} // namespace

std::string PrintableText(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            result += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            result += escaped;
        }
    }
    return result;
}

std::string AnsiDecimalSeparator(char32_t decimalSeparator)
{
    if (decimalSeparator < 0x80)
        return std::string(1, static_cast<char>(decimalSeparator));
    std::string utf8;
    AppendUtf8(utf8, decimalSeparator);
    std::string ansi = Utf8ToAnsi(utf8);
    return AnsiToUtf8(ansi) == utf8 ? ansi : std::string();
}

std::optional<double> TryTextToFloat(std::string_view text, char32_t decimalSeparator, TNumberFault *fault)
{
    const std::optional<TNumberText> number = ScanNumber(text, AnsiDecimalSeparator(decimalSeparator), fault);
    if (!number)
        return std::nullopt;
    const std::optional<double> magnitude = MagnitudeOf(*number);
    if (!magnitude) {
        if (fault != nullptr)
            *fault = {TNumberFault::TKind::OutOfRange, text.size()};
        return std::nullopt;
    }
    return number->Negative ? -*magnitude : *magnitude;
}

double TextToFloat(std::string_view text, char32_t decimalSeparator)
{
    if (const auto value = TryTextToFloat(text, decimalSeparator))
        return *value;
    throw EConvertError("not a number: \"" + PrintableText(text) + "\"");
}

std::string NumberFaultText(std::string_view text, const TNumberFault &fault)
{
    const auto at = [&] {
        std::string said(1, '\'');
        said += PrintableText(text.substr(fault.Position, 1));
        return said + "' at character " + std::to_string(fault.Position + 1);
    };
    switch (fault.Kind) {
    case TNumberFault::TKind::NoDigits:
        if (fault.Position < text.size())
            return at() + " where a digit should be";
        return text.find_first_not_of(' ') == std::string_view::npos ? "empty" : "no digits";
    case TNumberFault::TKind::LongExponent:
        return "an exponent of 500 or more";
    case TNumberFault::TKind::OutOfRange:
        return "too large for a number";
    case TNumberFault::TKind::StrayCharacter:
        break;
    }
    return fault.Position < text.size() ? at() : "stray characters";
}
