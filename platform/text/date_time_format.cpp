// SPDX-License-Identifier: Apache-2.0
#include "platform/text/date_time_format.h"

#include <cstdint>

namespace {

void AppendNumber(std::string &out, int value, int minimumDigits)
{
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < minimumDigits)
        out.append(static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
    out += digits;
}

// The first character (code point) of a UTF-8 text.
std::string_view FirstCharacter(std::string_view text)
{
    if (text.empty())
        return text;
    std::size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        ++length;
    return text.substr(0, length);
}

// 0 for Sunday. Day 0 (30 December 1899) was a Saturday.
int DayOfWeek(const TDateTimeParts &parts)
{
    TDateTimeParts date = parts;
    date.Hour = date.Minute = date.Second = date.Millisecond = 0;
    const auto days = static_cast<std::int64_t>(EncodeDateTime(date));
    return static_cast<int>(((days + 6) % 7 + 7) % 7);
}

// Copies the quoted literal that opens at picture[at] and returns where the
// picture goes on after it. '' stands for one quote, inside quotes or out; a
// literal left open runs to the end.
std::size_t AppendQuoted(std::string &out, std::string_view picture, std::size_t at)
{
    std::size_t i = at + 1;
    if (i < picture.size() && picture[i] == '\'') {
        out += '\'';
        return i + 1;
    }
    while (i < picture.size()) {
        if (picture[i] != '\'') {
            out += picture[i++];
            continue;
        }
        if (i + 1 < picture.size() && picture[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
        }
        return i + 1;
    }
    return i;
}

// How many times the letter at picture[at] stands there in a row.
std::size_t RunLength(std::string_view picture, std::size_t at)
{
    std::size_t run = 1;
    while (at + run < picture.size() && picture[at + run] == picture[at])
        ++run;
    return run;
}

// d dd: the day's number; ddd dddd: its short and long name.
void AppendDay(std::string &out, std::size_t run, const TDateTimeParts &parts, const TRegionalSettings &settings)
{
    if (run <= 2) {
        AppendNumber(out, parts.Day, static_cast<int>(run));
        return;
    }
    const auto day = static_cast<std::size_t>(DayOfWeek(parts));
    out += run == 3 ? settings.ShortDayNames[day] : settings.LongDayNames[day];
}

// M MM: the month's number; MMM MMMM: its short and long name.
void AppendMonth(std::string &out, std::size_t run, const TDateTimeParts &parts, const TRegionalSettings &settings)
{
    if (run <= 2) {
        AppendNumber(out, parts.Month, static_cast<int>(run));
        return;
    }
    const auto month = static_cast<std::size_t>(parts.Month - 1);
    out += run == 3 ? settings.ShortMonthNames[month] : settings.LongMonthNames[month];
}

// As Windows shows them: one letter is the year's last digit, two its last two
// digits, more the whole year.
void AppendYear(std::string &out, std::size_t run, int year)
{
    if (run == 1)
        AppendNumber(out, year % 10, 1);
    else if (run == 2)
        AppendNumber(out, year % 100, 2);
    else
        AppendNumber(out, year, 4);
}

// t: the first character of the AM/PM text; tt: all of it.
void AppendAmPm(std::string &out, std::size_t run, int hour, const TRegionalSettings &settings)
{
    const std::string &amPm = hour < 12 ? settings.TimeAMString : settings.TimePMString;
    out += run == 1 ? std::string(FirstCharacter(amPm)) : amPm;
}

// One run of a field letter; a run of any other character is copied.
void AppendField(std::string &out, char letter, std::size_t run, const TDateTimeParts &parts,
                 const TRegionalSettings &settings)
{
    // Hours, minutes and seconds: two digits from a doubled letter on.
    const int timeDigits = run >= 2 ? 2 : 1;
    switch (letter) {
    case 'd': AppendDay(out, run, parts, settings); break;
    case 'M': AppendMonth(out, run, parts, settings); break;
    case 'y': AppendYear(out, run, parts.Year); break;
    // The era: the Gregorian calendar has none to show, and Windows then leaves
    // the field out rather than copying its letters.
    case 'g': break;
    case 'h': AppendNumber(out, parts.Hour % 12 == 0 ? 12 : parts.Hour % 12, timeDigits); break;
    case 'H': AppendNumber(out, parts.Hour, timeDigits); break;
    case 'm': AppendNumber(out, parts.Minute, timeDigits); break;
    case 's': AppendNumber(out, parts.Second, timeDigits); break;
    case 't': AppendAmPm(out, run, parts.Hour, settings); break;
    default: out.append(run, letter); break;
    }
}

} // namespace

std::string FormatDateTimePicture(TDateTime value, std::string_view picture,
                                  const TRegionalSettings &settings)
{
    const TDateTimeParts parts = DecodeDateTime(value);
    std::string out;
    std::size_t i = 0;
    while (i < picture.size()) {
        if (picture[i] == '\'') {
            i = AppendQuoted(out, picture, i);
            continue;
        }
        const std::size_t run = RunLength(picture, i);
        AppendField(out, picture[i], run, parts, settings);
        i += run;
    }
    return out;
}

namespace {

// The picture of one strftime conversion; empty for one without a counterpart.
std::string_view PictureOf(char conversion, bool unpadded)
{
    switch (conversion) {
    case 'd': return unpadded ? "d" : "dd";
    case 'e': return "d";
    case 'm': return unpadded ? "M" : "MM";
    case 'y': return "yy";
    case 'Y': return "yyyy";
    case 'H': return unpadded ? "H" : "HH";
    case 'k': return "H";
    case 'I': return unpadded ? "h" : "hh";
    case 'l': return "h";
    case 'M': return unpadded ? "m" : "mm";
    case 'S': return unpadded ? "s" : "ss";
    case 'p':
    case 'P': return "tt";
    case 'a': return "ddd";
    case 'A': return "dddd";
    case 'b':
    case 'h': return "MMM";
    case 'B': return "MMMM";
    case 'D': return "MM/dd/yy";
    case 'F': return "yyyy-MM-dd";
    case 'T': return "HH:mm:ss";
    case 'r': return "hh:mm:ss tt";
    case 'R': return "HH:mm";
    default: return {};
    }
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Literal text as a picture: quoted when it holds a letter, which a picture would
// otherwise read as a field; a quote mark is doubled.
void AppendLiteral(std::string &out, std::string_view literal)
{
    bool hasLetter = false;
    std::string escaped;
    for (char c : literal) {
        hasLetter = hasLetter || IsAsciiLetter(c);
        escaped += c;
        if (c == '\'')
            escaped += '\'';
    }
    if (hasLetter)
        out += '\'' + escaped + '\'';
    else
        out += escaped;
}

} // namespace

std::string StrftimeToPicture(std::string_view format)
{
    std::string out;
    std::string literal;
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            literal += format[i++];
            continue;
        }
        ++i;
        // Flags and field width: '-' drops the padding; the others keep a form
        // the picture syntax can show.
        bool unpadded = false;
        while (i < format.size() && (format[i] == '-' || format[i] == '_' || format[i] == '0' ||
                                     format[i] == '^' || format[i] == '#')) {
            unpadded = unpadded || format[i] == '-' || format[i] == '_';
            ++i;
        }
        while (i < format.size() && format[i] >= '1' && format[i] <= '9')
            ++i;
        // The alternative forms (%Ey, %OH) use other digits or eras; the plain
        // field is what a reader of the table expects.
        if (i < format.size() && (format[i] == 'E' || format[i] == 'O'))
            ++i;
        if (i >= format.size())
            break;
        const char conversion = format[i++];
        if (conversion == '%') {
            literal += '%';
            continue;
        }
        if (conversion == 'n' || conversion == 't') {
            literal += ' ';
            continue;
        }
        const std::string_view picture = PictureOf(conversion, unpadded);
        if (picture.empty())
            continue;
        AppendLiteral(out, literal);
        literal.clear();
        out += picture;
    }
    AppendLiteral(out, literal);

    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const std::size_t last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}
