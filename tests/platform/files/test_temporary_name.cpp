// SPDX-License-Identifier: Apache-2.0
#include "platform/files/temporary_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(TemporaryName, NeverLongerThanTheTargetsNameNorThanEightCharacters)
{
    const struct {
        std::size_t TargetNameLength;
        std::size_t Expected;
    } cases[] = {{1, 1}, {2, 2}, {5, 5}, {7, 7}, {8, 8}, {12, 8}, {255, 8}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.TargetNameLength);
        for (std::uint64_t count = 0; count < 50; ++count) {
            const std::string name = TemporaryFileName(c.TargetNameLength, 4242, count, 987654321);
            ASSERT_EQ(name.size(), c.Expected) << name;
            EXPECT_EQ(name.front(), '~') << name;
            EXPECT_EQ(name.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz", 1), std::string::npos) << name;
        }
    }
}

TEST(TemporaryName, SavesOfOtherProcessesTimesAndCountsPickOtherNames)
{
    // Each input alone changes the name, so that two programs saving into one
    // folder, or one program saving twice, rarely meet even in short names.
    std::set<std::string> names;
    for (std::uint64_t value = 0; value < 1000; ++value) {
        names.insert(TemporaryFileName(12, value, 0, 5000));
        names.insert(TemporaryFileName(12, 77, value, 5000));
        names.insert(TemporaryFileName(12, 77, 0, 5000 + value));
    }
    EXPECT_GE(names.size(), 2990u);

    std::set<std::string> short3;
    for (std::uint64_t count = 0; count < 200; ++count)
        short3.insert(TemporaryFileName(3, 77, count, 5000));
    EXPECT_GE(short3.size(), 150u) << "two digits give 1296 names; the count must reach them";
}

} // namespace
