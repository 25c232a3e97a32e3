// SPDX-License-Identifier: Apache-2.0
// What the acquisition worker may ask of the windows. The main window, the
// headless runner and the tests each implement it; every operation runs on the
// interface thread.
#pragma once

#include "link/reading.h"

#include <cstdint>

// Colours in the form 0x00BBGGRR; SystemGrayText stands for the system colour
// for greyed text.
using TColor = std::uint32_t;
inline constexpr TColor SystemGrayText = 0xFF000011;
inline constexpr TColor IndicatorGrey = SystemGrayText;
inline constexpr TColor IndicatorBlue = 0xFF0000;
inline constexpr TColor IndicatorRed = 0x0000FF;
inline constexpr TColor IndicatorYellow = 0x00FFFF;

// The worker's run state (FState), with the values the state word has always held.
enum class TRunState : std::int32_t { Idle = 0, Searching = 1, MeterFound = 2 };

class IWorkerHost {
public:
    virtual ~IWorkerHost() = default;
    // Fills the link indicator with the colour.
    virtual void ShowIndicator(TColor color) = 0;
    // The Start/Stop caption follows the state; a pending stop overlay is released.
    virtual void ShowRunState(TRunState state) = 0;
    // The modal "BT module not enabled or not installed" box; returns when closed.
    virtual void ShowNoRadioError() = 0;
    // Called directly (not handed off) by RequestStop on the interface thread.
    virtual void ShowStopOverlay() = 0;
    // Appends one reading as a new row of the readings table.
    virtual void AddReading(const TReading &reading) = 0;
};
