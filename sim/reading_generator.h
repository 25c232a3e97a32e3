// SPDX-License-Identifier: Apache-2.0
// Plausible readings for the simulated meter, and the message that carries one
// on the wire: ReadingMessageSize bytes of text, eight colon-introduced values on lines of
// their own, then the analysis line, padded with NUL bytes.
#pragma once

#include "link/meter_wire.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

using TMeterMessage = std::array<std::uint8_t, ReadingMessageSize>;

// The values of one reading as the meter would report them; the numbers carry
// one decimal, as they go on the wire.
struct TGeneratedReading {
    std::string Serial;  // 6 characters
    std::string Range;   // at most 4 characters
    double Moisture = 0;     // percent, 8 to 30
    double Temperature = 0;  // degrees Celsius, 5 to 40
    std::array<std::string, 4> IR;  // raw detector values, at most 7 characters each
    double Protein = 0;
    double Oil = 0;
    double Water = 0;
    double Starch = 0;
};

class TReadingGenerator {
public:
    // The same seed gives the same meter (serial number) and the same readings.
    explicit TReadingGenerator(std::uint32_t seed = 1);

    TGeneratedReading Next();

    // The message layout, with '.' as the decimal mark whatever the locale:
    // "x:123456\r\nx:AB1\r\nx:14.5\r\nx:21.3\r\nx:101\r\n...x:104\r\n"
    // "B12.3%T4.5%W13.0%S60.1%\r\n", then NUL bytes up to the message's size.
    static TMeterMessage Format(const TGeneratedReading &reading);

private:
    double Tenths(double low, double high);

    std::mt19937 FRandom;
    std::string FSerial;
};
