#include "platform/date_time_format.h"

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

} // namespace

std::string FormatDateTimePicture(TDateTime value, std::string_view picture,
                                  const TRegionalSettings &settings)
{
    const TDateTimeParts p = DecodeDateTime(value);
    const int hour12 = p.Hour % 12 == 0 ? 12 : p.Hour % 12;
    const std::string &amPm = p.Hour < 12 ? settings.TimeAMString : settings.TimePMString;

    std::string out;
    std::size_t i = 0;
    while (i < picture.size()) {
        const char letter = picture[i];
        if (letter == '\'') {
            // A quoted literal; '' stands for one quote, inside quotes or out.
            ++i;
            if (i < picture.size() && picture[i] == '\'') {
                out += '\'';
                ++i;
                continue;
            }
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == letter)
            ++run;
        switch (letter) {
        case 'd':
            if (run == 1 || run == 2)
                AppendNumber(out, p.Day, static_cast<int>(run));
            else if (run == 3)
                out += settings.ShortDayNames[static_cast<std::size_t>(DayOfWeek(p))];
            else
                out += settings.LongDayNames[static_cast<std::size_t>(DayOfWeek(p))];
            break;
        case 'M':
            if (run == 1 || run == 2)
                AppendNumber(out, p.Month, static_cast<int>(run));
            else if (run == 3)
                out += settings.ShortMonthNames[static_cast<std::size_t>(p.Month - 1)];
            else
                out += settings.LongMonthNames[static_cast<std::size_t>(p.Month - 1)];
            break;
        case 'y':
            // As Windows shows them: one letter is the year's last digit, two
            // its last two digits, more the whole year.
            if (run == 1)
                AppendNumber(out, p.Year % 10, 1);
            else if (run == 2)
                AppendNumber(out, p.Year % 100, 2);
            else
                AppendNumber(out, p.Year, 4);
            break;
        case 'g':
            // The era: the Gregorian calendar has none to show, and Windows then
            // leaves the field out rather than copying its letters.
            break;
        case 'h':
            AppendNumber(out, hour12, run >= 2 ? 2 : 1);
            break;
        case 'H':
            AppendNumber(out, p.Hour, run >= 2 ? 2 : 1);
            break;
        case 'm':
            AppendNumber(out, p.Minute, run >= 2 ? 2 : 1);
            break;
        case 's':
            AppendNumber(out, p.Second, run >= 2 ? 2 : 1);
            break;
        case 't':
            out += run == 1 ? std::string(FirstCharacter(amPm)) : amPm;
            break;
        default:
            out.append(run, letter);
            break;
        }
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
