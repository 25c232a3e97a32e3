// SPDX-License-Identifier: Apache-2.0
#include "platform/files/momentary_retry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using std::chrono::milliseconds;
using TTime = std::chrono::steady_clock::time_point;

// Codes as the Windows backend sees them: held by another program (sharing or
// lock violation) for a moment, or failed for good (file or path not found).
constexpr unsigned long Shared = 32, Locked = 33, NotFound = 2, NoPath = 3;

bool Momentary(unsigned long error)
{
    return error == Shared || error == Locked;
}

// A clock that moves only when the retry sleeps or a try takes its time.
struct TFakeClock {
    TTime Now{};
    std::vector<milliseconds> Pauses;

    TRetryClock Clock()
    {
        return {[this] { return Now; },
                [this](milliseconds pause) {
                    Pauses.push_back(pause);
                    Now += pause;
                }};
    }
};

TEST(MomentaryRetry, RetriesOnlyWhileTheFailureIsMomentaryAndForAboutASecond)
{
    struct TCase {
        const char *Name;
        std::vector<unsigned long> Results;  // one per try; the last one repeats
        milliseconds TryTakes;
        unsigned long Expected;
        int Tries;
        milliseconds Elapsed;
    };
    std::vector<unsigned long> freedAtTheDeadline(13, Shared);
    freedAtTheDeadline.push_back(0);
    const TCase cases[] = {
        {"done at once", {0}, milliseconds(0), 0, 1, milliseconds(0)},
        {"held twice, then free", {Shared, Shared, 0}, milliseconds(0), 0, 3, milliseconds(30)},
        {"locked once, then free", {Locked, 0}, milliseconds(0), 0, 2, milliseconds(10)},
        {"lasting failure is not retried", {NotFound}, milliseconds(0), NotFound, 1, milliseconds(0)},
        {"held, then a lasting failure", {Shared, NoPath}, milliseconds(0), NoPath, 2, milliseconds(10)},
        // Pauses of 10, 20, 40, 80 and then 100 ms; the last one is cut to end
        // on the deadline, where one more try is made.
        {"held for good", {Shared}, milliseconds(0), Shared, 14, milliseconds(1000)},
        {"freed just at the deadline", freedAtTheDeadline, milliseconds(0), 0, 14, milliseconds(1000)},
        // A slow try is not started again once the deadline has passed.
        {"held for good, each try slow", {Locked}, milliseconds(300), Locked, 4, milliseconds(1270)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeClock fake;
        const TTime start = fake.Now;
        int tries = 0;
        const auto step = [&] {
            const unsigned long result = c.Results[std::min<std::size_t>(tries, c.Results.size() - 1)];
            ++tries;
            fake.Now += c.TryTakes;
            return result;
        };

        EXPECT_EQ(RetryMomentaryFailure(step, Momentary, fake.Clock()), c.Expected);

        EXPECT_EQ(tries, c.Tries);
        EXPECT_EQ(std::chrono::duration_cast<milliseconds>(fake.Now - start), c.Elapsed);
        for (const milliseconds pause : fake.Pauses) {
            EXPECT_GT(pause, milliseconds(0));
            EXPECT_LE(pause, milliseconds(100)) << "a hold that ends is noticed within a tenth of a second";
        }
    }
}

TEST(MomentaryRetry, SystemClockWaitsOutThePatienceForReal)
{
    const auto start = std::chrono::steady_clock::now();
    int tries = 0;
    const unsigned long result = RetryMomentaryFailure(
        [&] {
            ++tries;
            return Shared;
        },
        Momentary, SystemRetryClock(), milliseconds(60));
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(result, Shared);
    EXPECT_GE(elapsed, milliseconds(60));
    EXPECT_LT(elapsed, milliseconds(2000));
    EXPECT_GE(tries, 2);
}

} // namespace
