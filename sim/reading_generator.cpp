// SPDX-License-Identifier: Apache-2.0
#include "sim/reading_generator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Formats a value with one decimal and '.' without the C library, whose
// number formatting follows the process's locale.
std::string OneDecimal(double value)
{
    const long tenths = std::lround(value * 10);
    const long whole = std::labs(tenths) / 10;
    const long fraction = std::labs(tenths) % 10;
    return (tenths < 0 ? "-" : "") + std::to_string(whole) + "." + std::to_string(fraction);
}

} // namespace

TReadingGenerator::TReadingGenerator(std::uint32_t seed) : FRandom(seed)
{
    static constexpr char letters[] = "ABCDEFGHJKLMNPRSTUVWXYZ";
    FSerial += letters[std::uniform_int_distribution<std::size_t>(0, sizeof letters - 2)(FRandom)];
    for (int i = 0; i < 5; ++i)
        FSerial += static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(FRandom));
}

double TReadingGenerator::Tenths(double low, double high)
{
    const long tenths = std::uniform_int_distribution<long>(std::lround(low * 10), std::lround(high * 10))(FRandom);
    return tenths / 10.0;
}

TGeneratedReading TReadingGenerator::Next()
{
    static const std::array<const char *, 5> ranges = {"WH1", "BA2", "CO3", "RA4", "SO5"};
    TGeneratedReading r;
    r.Serial = FSerial;
    r.Range = ranges[std::uniform_int_distribution<std::size_t>(0, ranges.size() - 1)(FRandom)];
    r.Moisture = Tenths(8, 30);
    r.Temperature = Tenths(5, 40);
    for (auto &raw : r.IR)
        raw = std::to_string(std::uniform_int_distribution<int>(1000, 65000)(FRandom));
    r.Protein = Tenths(8, 16);
    r.Oil = Tenths(1.5, 6);
    // Water follows the moisture the meter measured, within a few tenths.
    r.Water = std::clamp(r.Moisture + Tenths(-0.5, 0.5), 8.0, 30.0);
    r.Water = std::round(r.Water * 10) / 10;
    r.Starch = Tenths(55, 72);
    return r;
}

TMeterMessage TReadingGenerator::Format(const TGeneratedReading &r)
{
    std::string text;
    for (const std::string &value : {r.Serial, r.Range, OneDecimal(r.Moisture), OneDecimal(r.Temperature),
                                     r.IR[0], r.IR[1], r.IR[2], r.IR[3]})
        text += "x:" + value + "\r\n";
    text += "B" + OneDecimal(r.Protein) + "%T" + OneDecimal(r.Oil) + "%W" + OneDecimal(r.Water) + "%S" +
            OneDecimal(r.Starch) + "%\r\n";
    if (text.size() > ReadingMessageSize)
        throw std::length_error("reading does not fit into one meter message");
    TMeterMessage message{};
    std::copy(text.begin(), text.end(), message.begin());
    return message;
}
