// SPDX-License-Identifier: Apache-2.0
#include "publish/reading_message.h"
#include "platform/text/code_page.h"
#include "readings/reading_row.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void AppendJsonString(std::string &out, std::string_view text)
{
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

// The table's figure with a point; a value that is no number (the meter's
// text was none) is null, which JSON has and NaN is not.
void AppendNumber(std::string &out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    out += FormatOneDecimal(value, U'.');
}

void AppendTwoDigits(std::string &out, int value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

} // namespace

std::string IsoDateTime(const TDateTimeParts &local)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.Year, local.Month, local.Day, local.Hour,
                  local.Minute, local.Second);
    std::string out = text;
    if (local.Millisecond != 0) {
        std::snprintf(text, sizeof text, ".%03d", local.Millisecond);
        out += text;
    }
    const int offset = UtcOffsetMinutesAt(local);
    out += offset < 0 ? '-' : '+';
    AppendTwoDigits(out, std::abs(offset) / 60);
    out += ':';
    AppendTwoDigits(out, std::abs(offset) % 60);
    return out;
}

std::string TopicLevel(std::string_view text)
{
    if (text.empty())
        return "_";
    std::string level(text);
    for (char &c : level) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '+' || c == '#' || c == '/' || byte < 0x20 || byte == 0x7F)
            c = '_';
    }
    return level;
}

std::string ReadingTopic(std::string_view prefix, const TReading &reading)
{
    return std::string(prefix) + "/" + TopicLevel(AnsiToUtf8(FieldText(reading.Serial))) + "/reading";
}

std::string StatusTopic(std::string_view prefix, std::string_view host)
{
    return std::string(prefix) + "/status/" + TopicLevel(host);
}

std::string ReadingId(const TPublishingRun &run, int row)
{
    TDateTimeParts start = run.Start;
    // Two runs of one computer never start in the same millisecond, so the
    // start keeps its milliseconds, also when they are 000.
    std::string id = IsoDateTime(start);
    if (start.Millisecond == 0) {
        const std::size_t offset = id.find_first_of("+-", id.find('T'));
        id.insert(offset, ".000");
    }
    return id + "/" + std::to_string(row);
}

std::string ReadingMessage(const TPublishingRun &run, int row, const TReading &reading)
{
    std::string out = "{\"id\":";
    AppendJsonString(out, ReadingId(run, row));
    out += ",\"row\":" + std::to_string(row);
    out += ",\"time\":";
    AppendJsonString(out, IsoDateTime(DecodeDateTime(reading.Timestamp)));
    out += ",\"serial\":";
    AppendJsonString(out, AnsiToUtf8(FieldText(reading.Serial)));
    out += ",\"range\":";
    AppendJsonString(out, AnsiToUtf8(FieldText(reading.Range)));
    const std::pair<const char *, double> numbers[] = {
        {"moisture", reading.Moisture}, {"temperature", reading.Temperature}, {"protein", reading.Protein},
        {"oil", reading.Oil},           {"water", reading.Water},             {"starch", reading.Starch}};
    for (const auto &[name, value] : numbers) {
        out += ",\"";
        out += name;
        out += "\":";
        AppendNumber(out, value);
    }
    if (run.ClbMode) {
        out += ",\"ir\":[";
        for (std::size_t i = 0; i < reading.IR.size(); ++i) {
            if (i != 0)
                out += ',';
            AppendJsonString(out, AnsiToUtf8(FieldText(reading.IR[i])));
        }
        out += ']';
    }
    out += ",\"host\":";
    AppendJsonString(out, run.Host);
    out += ",\"program\":";
    AppendJsonString(out, run.Program);
    out += '}';
    return out;
}
