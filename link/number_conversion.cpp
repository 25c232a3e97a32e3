#include "link/number_conversion.h"

#include "platform/code_page.h"
#include "platform/utf8.h"

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

// The text for a message: printable ASCII as it stands, other bytes as \xNN.
std::string Printable(std::string_view text)
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

} // namespace

std::string AnsiDecimalSeparator(char32_t decimalSeparator)
{
    if (decimalSeparator < 0x80)
        return std::string(1, static_cast<char>(decimalSeparator));
    std::string utf8;
    AppendUtf8(utf8, decimalSeparator);
    std::string ansi = Utf8ToAnsi(utf8);
    return AnsiToUtf8(ansi) == utf8 ? ansi : std::string();
}

std::optional<double> TryTextToFloat(std::string_view text, char32_t decimalSeparator)
{
    const char *p = text.data();
    const char *const end = p + text.size();
    const std::string separator = AnsiDecimalSeparator(decimalSeparator);

    while (p != end && *p == ' ')
        ++p;

    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }

    const char *const intBegin = p;
    while (p != end && IsDigit(*p))
        ++p;
    const std::string_view intDigits(intBegin, static_cast<std::size_t>(p - intBegin));

    bool hasSeparator = false;
    std::string_view fracDigits;
    if (!separator.empty() && std::string_view(p, static_cast<std::size_t>(end - p)).starts_with(separator)) {
        hasSeparator = true;
        p += separator.size();
        const char *const fracBegin = p;
        while (p != end && IsDigit(*p))
            ++p;
        fracDigits = std::string_view(fracBegin, static_cast<std::size_t>(p - fracBegin));
    }
    if (intDigits.empty() && !hasSeparator)
        return std::nullopt; // empty, a lone sign, or the exponent letter first

    int exponent = 0;
    if (p != end && (*p == 'E' || *p == 'e')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) {
            negativeExponent = *p == '-';
            ++p;
        }
        while (p != end && IsDigit(*p)) {
            if (exponent >= 500)
                return std::nullopt; // a digit left over
            exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (negativeExponent)
            exponent = -exponent;
    }

    while (p != end && *p == ' ')
        ++p;
    if (p != end)
        return std::nullopt;

    const bool allZero = intDigits.find_first_not_of('0') == std::string_view::npos
                         && fracDigits.find_first_not_of('0') == std::string_view::npos;
    const std::optional<double> magnitude = allZero ? 0.0 : Convert(intDigits, fracDigits, exponent);
    if (!magnitude)
        return std::nullopt;
    return negative ? -*magnitude : *magnitude;
}

double TextToFloat(std::string_view text, char32_t decimalSeparator)
{
    if (const auto value = TryTextToFloat(text, decimalSeparator))
        return *value;
    throw EConvertError("not a number: \"" + Printable(text) + "\"");
}
