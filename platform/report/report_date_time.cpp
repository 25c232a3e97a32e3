#include "platform/report/report_date_time.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<const char *, 7> kDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
constexpr std::array<const char *, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

std::string Padded(int value, int width)
{
    std::string text = std::to_string(value);
    while (static_cast<int>(text.size()) < width)
        text.insert(text.begin(), '0');
    return text;
}

// The first character of a UTF-8 text, whole.
std::string FirstCharacter(const std::string &text)
{
    std::size_t length = text.empty() ? 0 : 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        ++length;
    return text.substr(0, length);
}

int DayOfWeek(const TDateTimeParts &parts)
{
    TDateTimeParts day = parts;
    day.Hour = day.Minute = day.Second = day.Millisecond = 0;
    // Day 0 of the serial date, 30 December 1899, was a Saturday.
    const long long serial = static_cast<long long>(EncodeDateTime(day));
    return static_cast<int>(((serial + 6) % 7 + 7) % 7);
}

} // namespace

std::string FormatReportDateTime(std::string_view picture, const TDateTimeParts &parts,
                                 const TRegionalSettings &settings)
{
    std::string out;
    std::size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    break;
                }
                out += picture[i++];
            }
            ++i;  // the closing quote
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c)
            ++run;
        const int n = static_cast<int>(run);
        const int hour12 = parts.Hour % 12 == 0 ? 12 : parts.Hour % 12;
        const std::string &ampm = parts.Hour < 12 ? settings.TimeAMString : settings.TimePMString;
        switch (c) {
        case 'd':
            if (n <= 2)
                out += Padded(parts.Day, n);
            else
                out += n == 3 ? std::string(kDayNames[DayOfWeek(parts)]).substr(0, 3)
                              : kDayNames[DayOfWeek(parts)];
            break;
        case 'M':
            if (n <= 2)
                out += Padded(parts.Month, n);
            else if (parts.Month >= 1 && parts.Month <= 12)
                out += n == 3 ? std::string(kMonthNames[parts.Month - 1]).substr(0, 3)
                              : kMonthNames[parts.Month - 1];
            break;
        case 'y':
            out += n <= 2 ? Padded(parts.Year % 100, n) : Padded(parts.Year, 4);
            break;
        case 'h': out += Padded(hour12, std::min(n, 2)); break;
        case 'H': out += Padded(parts.Hour, std::min(n, 2)); break;
        case 'm': out += Padded(parts.Minute, std::min(n, 2)); break;
        case 's': out += Padded(parts.Second, std::min(n, 2)); break;
        case 't': out += n == 1 ? FirstCharacter(ampm) : ampm; break;
        default: out.append(run, c); break;
        }
        i += run;
    }
    return out;
}
