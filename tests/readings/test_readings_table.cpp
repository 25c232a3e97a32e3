// SPDX-License-Identifier: Apache-2.0
#include "readings/readings_table.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ReadingsTable, CellsOutsideTheTableAreEmpty)
{
    TReadingsTable table(3);
    table.SetHeader(0, "a");
    table.AppendRow({"x", "y", "z"});
    const struct {
        int column, row;
        const char *expected;
    } cases[] = {
        {0, 0, "a"}, {1, 0, ""}, {2, 1, "z"}, {-1, 1, ""}, {3, 1, ""}, {0, 2, ""}, {0, -1, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, table.Cell(c.column, c.row)) << c.column << "," << c.row;
}

TEST(ReadingsTable, RowsKeepTheirCellsWithEmptyMissingOnesAndNoExtraOnes)
{
    TReadingsTable table(3);
    EXPECT_EQ(1, table.AppendRow({"one", "", "three"}));
    EXPECT_EQ(2, table.AppendRow({"four"}));
    EXPECT_EQ(3, table.AppendRow({"5", "6", "7", "8"}));
    EXPECT_EQ(4, table.RowCount());
    const char *expected[3][3] = {{"one", "", "three"}, {"four", "", ""}, {"5", "6", "7"}};
    for (int row = 1; row <= 3; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(expected[row - 1][column], table.Cell(column, row)) << column << "," << row;
}

TEST(ReadingsTable, ARowTooLongToStoreIsRefusedWhole)
{
    TReadingsTable table(2);
    table.AppendRow({"kept", "row"});
    EXPECT_THROW(table.AppendRow({std::string(40000, 'a'), std::string(40000, 'b')}), std::length_error);
    EXPECT_EQ(2, table.RowCount());
    EXPECT_EQ(1, table.AppendRow({}) - 1);
    EXPECT_EQ("row", table.Cell(1, 1));
    // The longest row it can hold.
    EXPECT_NO_THROW(table.AppendRow({std::string(65535, 'c')}));
    EXPECT_EQ(65535u, table.Cell(0, 3).size());
}

TEST(ReadingsTable, NeedsAtLeastOneColumn)
{
    EXPECT_THROW(TReadingsTable(0), std::invalid_argument);
    TReadingsTable table(2);
    EXPECT_THROW(table.SetHeader(2, "x"), std::out_of_range);
}

} // namespace
