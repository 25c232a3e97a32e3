// SPDX-License-Identifier: Apache-2.0
#include "publish/outbox.h"

#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string kBroker = "mqtts://broker:8883/lab";

TOutboxMessage Message(int n)
{
    return {"lab/A1/reading", "{\"row\":" + std::to_string(n) + "}"};
}

std::vector<int> WaitingNumbers(const TOutbox &outbox)
{
    std::vector<int> numbers;
    for (const TNumberedMessage &waiting : outbox.Waiting())
        numbers.push_back(waiting.Number);
    return numbers;
}

bool Has(const TScratchFolder &folder, const std::string &name)
{
    const std::vector<std::string> names = folder.Names();
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

TEST(Outbox, BelongsToItsJournalFile)
{
    EXPECT_EQ(OutboxPathOf("/j/readings-20261210-084512-2.csv"), "/j/readings-20261210-084512-2.outbox");
    EXPECT_EQ(AcknowledgedPathOf("/j/readings-20261210-084512-2.outbox"), "/j/readings-20261210-084512-2.acked");
}

// What a run leaves, what the next run takes up: the messages the broker did
// not acknowledge, in order, and only for the same broker.
TEST(Outbox, LeavesTheUnacknowledgedToTheNextRunForTheSameBroker)
{
    const struct {
        const char *Case;
        int Messages;
        std::vector<int> Acknowledged;
        std::string NextBroker;
        std::vector<int> Waiting;  // empty: no outbox taken up
        bool FilesStay;
    } cases[] = {
        {"none acknowledged", 3, {}, kBroker, {1, 2, 3}, true},
        {"some acknowledged, out of order", 4, {3, 1}, kBroker, {2, 4}, true},
        {"all acknowledged", 2, {2, 1}, kBroker, {}, false},
        {"another broker", 2, {}, "mqtts://other:8883/lab", {}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Case);
        TScratchFolder folder("outbox");
        const std::string path = folder.File("readings-20261210-084512.outbox");
        {
            const std::unique_ptr<TOutbox> own = TOutbox::Create(path, kBroker);
            for (int n = 1; n <= c.Messages; ++n)
                EXPECT_EQ(own->Add(Message(n)), n);
            for (int number : c.Acknowledged)
                EXPECT_EQ(own->Acknowledge(number), "");
        }
        EXPECT_EQ(Has(folder, "readings-20261210-084512.outbox"), c.FilesStay);
        const std::vector<std::unique_ptr<TOutbox>> left = TOutbox::LeftIn(folder.Path().string(), c.NextBroker);
        if (c.Waiting.empty()) {
            EXPECT_TRUE(left.empty());
            continue;
        }
        ASSERT_EQ(left.size(), 1u);
        EXPECT_EQ(WaitingNumbers(*left[0]), c.Waiting);
        for (const TNumberedMessage &waiting : left[0]->Waiting())
            EXPECT_EQ(waiting.Message, Message(waiting.Number));
    }
}

TEST(Outbox, ALeftOverOutboxGoesOnceTheBrokerHasAllOfIt)
{
    TScratchFolder folder("outbox");
    const std::string path = folder.File("readings-20261210-084512.outbox");
    {
        const std::unique_ptr<TOutbox> own = TOutbox::Create(path, kBroker);
        own->Add(Message(1));
        own->Add(Message(2));
        own->Acknowledge(1);
    }
    std::vector<std::unique_ptr<TOutbox>> left = TOutbox::LeftIn(folder.Path().string(), kBroker);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(Has(folder, "readings-20261210-084512.acked"));
    EXPECT_EQ(left[0]->Acknowledge(2), "");
    EXPECT_TRUE(folder.Names().empty());
}

TEST(Outbox, ARunningProgramsOutboxIsNotTakenUp)
{
    TScratchFolder folder("outbox");
    const std::unique_ptr<TOutbox> running = TOutbox::Create(folder.File("readings-20261210-084512.outbox"), kBroker);
    running->Add(Message(1));
    EXPECT_TRUE(TOutbox::LeftIn(folder.Path().string(), kBroker).empty());
    // Nor twice by two later runs at once.
    TScratchFolder other("outbox");
    {
        const std::unique_ptr<TOutbox> ended = TOutbox::Create(other.File("readings-20261210-090000.outbox"), kBroker);
        ended->Add(Message(1));
    }
    const auto first = TOutbox::LeftIn(other.Path().string(), kBroker);
    EXPECT_EQ(first.size(), 1u);
    EXPECT_TRUE(TOutbox::LeftIn(other.Path().string(), kBroker).empty());
}

TEST(Outbox, ReadsBackWhatACrashLeft)
{
    const struct {
        const char *Case;
        std::string Outbox;
        std::string Acknowledged;
        std::vector<int> Waiting;
    } cases[] = {
        {"a message cut short is left out", "meter-readout outbox\t" + kBroker + "\nt\t{1}\nt\t{2", "", {1}},
        {"an acknowledgement cut short counts not", "meter-readout outbox\t" + kBroker + "\nt\t{1}\nt\t{2}\n", "1\n2", {2}},
        {"a line that is no number is skipped", "meter-readout outbox\t" + kBroker + "\nt\t{1}\nt\t{2}\n", "x\n2\n", {1}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Case);
        TScratchFolder folder("outbox");
        WriteFileContents(folder.File("r.outbox"), c.Outbox);
        WriteFileContents(folder.File("r.acked"), c.Acknowledged);
        const auto left = TOutbox::LeftIn(folder.Path().string(), kBroker);
        ASSERT_EQ(left.size(), 1u);
        EXPECT_EQ(WaitingNumbers(*left[0]), c.Waiting);
    }
    // A file that only ends like an outbox is left alone.
    TScratchFolder folder("outbox");
    WriteFileContents(folder.File("notes.outbox"), "shopping list\n");
    EXPECT_TRUE(TOutbox::LeftIn(folder.Path().string(), kBroker).empty());
    EXPECT_EQ(FileContents(folder.File("notes.outbox")), "shopping list\n");
}
