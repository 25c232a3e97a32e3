// SPDX-License-Identifier: Apache-2.0
#include "link/parse_reading.h"

#include "platform/text/date_time.h"
#include "platform/text/regional_settings.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace {

// Positions reach n + 9, which must not overflow for any n.
using TPosition = std::int64_t;

constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;

// The message in the buffer. Positions at and beyond n read as NUL: under the
// buffer's layout they are NUL anyway, and this way no byte beyond the message is
// ever read or written, whatever the buffer holds there.
class TMessage {
public:
    TMessage(std::uint8_t *buffer, TPosition n) : FBytes(buffer), FSize(n) {}

    std::uint8_t At(TPosition i) const { return i < FSize ? FBytes[i] : 0; }

    void EndLines()
    {
        for (TPosition i = 0; i < FSize; ++i)
            if (FBytes[i] == CR || FBytes[i] == LF)
                FBytes[i] = 0;
    }

    // Where the value after the next colon begins, searching on from p; a search
    // that finds none stops at n, so its value begins at n + 1.
    TPosition AfterColon(TPosition p) const
    {
        while (p < FSize && FBytes[p] != ':')
            ++p;
        return p + 1;
    }

    // Where the number after the first of the letters at or after `from` begins;
    // n + 1 (or beyond) when there is none.
    TPosition AfterLetter(TPosition from, char letter, char otherLetter) const
    {
        TPosition q = from;
        while (q < FSize && FBytes[q] != letter && FBytes[q] != otherLetter)
            ++q;
        return q + 1;
    }

    // Replaces the first byte that `wanted` accepts, scanning from start: below
    // endBound the scan passes NULs, from endBound on it stops at the first NUL.
    // So a number without its own mark or '%' lets its scan run on into the
    // values after it. Returns the position replaced, or -1.
    template <typename TWanted>
    TPosition ScanAndReplace(TPosition start, TPosition endBound, TWanted wanted, std::uint8_t replacement)
    {
        // Beyond n everything is NUL and nothing is wanted, so the scan may stop at n.
        for (TPosition i = start; i < FSize; ++i) {
            if (FBytes[i] == 0 && i >= endBound)
                return -1;
            if (wanted(FBytes[i])) {
                FBytes[i] = replacement;
                return i;
            }
        }
        return -1;
    }

    // The bytes from start up to the first NUL, without a length limit.
    std::string_view TextAt(TPosition start) const
    {
        TPosition end = start;
        while (At(end) != 0)
            ++end;
        if (start >= end)
            return {};
        return {reinterpret_cast<const char *>(FBytes + start), static_cast<std::size_t>(end - start)};
    }

    // The bytes from start up to the first NUL, at most the field's width; the rest
    // of the field stays NUL.
    template <std::size_t Width>
    void CopyText(TTextField<Width> &field, TPosition start) const
    {
        for (std::size_t j = 0; j < Width; ++j) {
            const std::uint8_t byte = At(start + static_cast<TPosition>(j));
            if (byte == 0)
                break;
            field[j] = static_cast<char>(byte);
        }
    }

private:
    std::uint8_t *FBytes;
    TPosition FSize;
};

bool IsDecimalMark(std::uint8_t byte)
{
    return byte == '.' || byte == ',';
}

bool IsPercent(std::uint8_t byte)
{
    return byte == '%';
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// One of the six numbers, as the reasons for a dropped message name it.
struct TNumberPlace {
    const char *Name;    // "moisture (value 3)", "water"
    const char *Letters; // the analysis letters that introduce it; null for values 3 and 4
};

// Why the message is dropped, when the number at `place` (its text beginning at
// `start`) is the first that does not convert: the rule of the message that the
// number's failure comes from.
std::string DropReason(const TNumberPlace &place, TPosition start, TPosition n, const std::array<TPosition, 9> &v,
                       std::string_view text, const TNumberFault &fault)
{
    const auto colons = std::count_if(v.begin() + 1, v.end(), [n](TPosition begins) { return begins <= n; });
    const std::string colonsFound = "only " + std::to_string(colons) + " of the 8 colons";
    if (place.Letters == nullptr && start > n)
        return colonsFound + ": no " + place.Name;
    if (place.Letters != nullptr && v[8] > n)
        return colonsFound + ": no value 8, after which protein, oil, water and starch are looked for";
    if (place.Letters != nullptr && start > n)
        return std::string("no ") + place.Letters + " for " + place.Name + " at or after value 8";

    std::string reason = std::string(place.Name) + " \"" + PrintableText(text) + "\" is not a number: " +
                         NumberFaultText(text, fault);
    if (fault.Kind == TNumberFault::TKind::StrayCharacter && fault.Position < text.size()) {
        const char stray = text[fault.Position];
        if (place.Letters == nullptr && stray == ':')
            reason += " (no line end after the number)";
        else if (place.Letters != nullptr && IsLetter(stray))
            reason += " (no '%' or line end after the number)";
        else if (stray == '.' || stray == ',')
            reason += " (a second decimal mark)";
    }
    return reason;
}

} // namespace

TReading ParseReading(std::uint8_t *buffer, std::int32_t n)
{
    return ParseReading(buffer, n, CurrentDecimalSeparator());
}

TReading ParseReading(std::uint8_t *buffer, std::int32_t n, char32_t decimalSeparator)
{
    TMessage message(buffer, n);
    const TPosition size = n;

    message.EndLines();

    // Values 1 to 8, each found by the next colon after the previous one.
    std::array<TPosition, 9> v{}; // v[1] to v[8]
    TPosition p = 0;
    for (int k = 1; k <= 8; ++k) {
        p = message.AfterColon(p);
        v[k] = p;
    }

    // The analysis results, each letter searched for by itself from value 8 on,
    // so they may come in any order.
    const TPosition protein = message.AfterLetter(v[8], 'B', 'P');
    const TPosition oil = message.AfterLetter(v[8], 'T', 'O');
    const TPosition water = message.AfterLetter(v[8], 'W', 'W');
    const TPosition starch = message.AfterLetter(v[8], 'S', 'S');

    // Either mark in the message becomes the locale's separator: its byte in
    // the ANSI code page. A separator of several bytes (a UTF-8 code page) has
    // no room in the mark's place: there the place keeps the character's low
    // byte, and the number's text gets the whole separator when it is converted.
    const std::string separator = AnsiDecimalSeparator(decimalSeparator);
    const bool oneByte = separator.size() == 1;
    const auto written = static_cast<std::uint8_t>(oneByte ? separator[0] : decimalSeparator & 0xFF);
    const std::array<TPosition, 6> marks = {
        message.ScanAndReplace(v[3], v[4], IsDecimalMark, written),
        message.ScanAndReplace(v[4], v[5], IsDecimalMark, written),
        message.ScanAndReplace(protein, oil, IsDecimalMark, written),
        message.ScanAndReplace(oil, water, IsDecimalMark, written),
        message.ScanAndReplace(water, starch, IsDecimalMark, written),
        message.ScanAndReplace(starch, size, IsDecimalMark, written),
    };

    message.ScanAndReplace(protein, oil, IsPercent, 0);
    message.ScanAndReplace(oil, water, IsPercent, 0);
    message.ScanAndReplace(water, starch, IsPercent, 0);
    message.ScanAndReplace(starch, size, IsPercent, 0);

    TReading reading;
    message.CopyText(reading.Serial, v[1]);
    message.CopyText(reading.Range, v[2]);
    for (std::size_t i = 0; i < reading.IR.size(); ++i)
        message.CopyText(reading.IR[i], v[5 + i]);

    // A number's text as the conversion reads it: with the whole separator in
    // each place a scan marked, where the separator is longer than one byte.
    std::string whole;  // each number's, converted before the next is made
    const auto number = [&](TPosition start) -> std::string_view {
        const std::string_view text = message.TextAt(start);
        if (oneByte || separator.empty())
            return text;
        whole.clear();
        for (std::size_t i = 0; i < text.size(); ++i) {
            const TPosition at = start + static_cast<TPosition>(i);
            if (std::find(marks.begin(), marks.end(), at) != marks.end())
                whole += separator;
            else
                whole += text[i];
        }
        return whole;
    };
    const auto convert = [&](const TNumberPlace &place, TPosition start) {
        const std::string_view text = number(start);
        TNumberFault fault;
        if (const std::optional<double> value = TryTextToFloat(text, decimalSeparator, &fault))
            return *value;
        throw EMessageDropped(DropReason(place, start, size, v, text, fault));
    };
    // In this order: the first number that does not convert ends the parse.
    reading.Moisture = convert({"moisture (value 3)", nullptr}, v[3]);
    reading.Temperature = convert({"temperature (value 4)", nullptr}, v[4]);
    reading.Protein = convert({"protein", "'B' or 'P'"}, protein);
    reading.Oil = convert({"oil", "'T' or 'O'"}, oil);
    reading.Water = convert({"water", "'W'"}, water);
    reading.Starch = convert({"starch", "'S'"}, starch);

    reading.Timestamp = NowLocal();
    return reading;
}
