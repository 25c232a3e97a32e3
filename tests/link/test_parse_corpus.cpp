// SPDX-License-Identifier: Apache-2.0
// Replays the parser's fuzzing seed corpus: each message is accepted or dropped
// as its file name says, in either locale, and the parser keeps to its part of
// the receive buffer.
#include "fuzz/parse_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::filesystem::path CorpusFolder()
{
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "corpus";
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ParseCorpus, EachSeedMessageIsAcceptedOrDroppedAsNamedAndKeepsToItsBuffer)
{
    const std::filesystem::path folder = CorpusFolder();
    if (!std::filesystem::is_directory(folder)) {
#ifdef _WIN32
        GTEST_SKIP() << "the source tree is not reachable from here: " << folder.string();
#else
        FAIL() << "no corpus folder at " << folder.string();
#endif
    }

    int seeds = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = entry.path().filename().string();
        const bool shouldAccept = name.rfind("accepted-", 0) == 0;
        ASSERT_TRUE(shouldAccept || name.rfind("dropped-", 0) == 0) << "name says neither: " << name;
        const std::vector<std::uint8_t> message = ReadBytes(entry.path());
        ASSERT_EQ(message.size(), ReadingMessageSize) << name;
        for (const char32_t separator : {U'.', U','}) {
            const TParseOutcome outcome = ParseLaidOut(message.data(), message.size(), separator);
            EXPECT_EQ(outcome.Accepted, shouldAccept) << name << " with " << static_cast<char>(separator);
            EXPECT_EQ(outcome.Problem, "") << name << " with " << static_cast<char>(separator);
        }
        ++seeds;
    }
    EXPECT_GE(seeds, 5);
}

// The harness itself must notice a parser that steps outside the message.
TEST(ParseCorpus, TheBufferCheckCatchesWritesBeyondTheMessageAndWrongChanges)
{
    std::vector<std::uint8_t> before(ReceiveBufferSize, 0);
    before[5] = '.';
    before[6] = '%';
    std::vector<std::uint8_t> after = before;
    after[5] = ',';
    after[6] = 0;
    EXPECT_EQ(BufferProblem(before.data(), after.data(), ReadingMessageSize, U','), "");
    after[140] = 1;
    EXPECT_EQ(BufferProblem(before.data(), after.data(), ReadingMessageSize, U','), "position 140 written");
    after[140] = 0;
    after[6] = ',';
    EXPECT_EQ(BufferProblem(before.data(), after.data(), ReadingMessageSize, U','), "position 6 changed wrongly");
}

} // namespace
