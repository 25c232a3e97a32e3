// SPDX-License-Identifier: Apache-2.0
// The columns of the readings table.
#pragma once

enum ReadingColumn : int {
    rcNo = 0,
    rcRange = 1,
    rcMoisture = 2,
    rcTemp = 3,
    rcProtein = 4,
    rcOil = 5,
    rcWater = 6,
    rcStarch = 7,
    rcSerNo = 8,
    rcDateTime = 9,
    rcIR1 = 10,
    rcIR2 = 11,
    rcIR3 = 12,
    rcIR4 = 13,
};

inline constexpr int NormalColumnCount = 10;
inline constexpr int ClbColumnCount = 14;

// 14 columns when the raw values are shown ("clb"), else 10.
inline constexpr int ColumnCountFor(bool clbMode)
{
    return clbMode ? ClbColumnCount : NormalColumnCount;
}
