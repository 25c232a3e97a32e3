// SPDX-License-Identifier: Apache-2.0
// The program's exit statuses: the ones it returns, the ones --help lists and
// the ones the README lists are the same.
#include "app/command_line.h"
#include "app/headless_runner.h"
#include "app/scan_runner.h"
#include "tests/app/readme_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::set<int> StatusesOf(const std::vector<TExitStatus> &statuses)
{
    std::set<int> codes;
    for (const TExitStatus &status : statuses)
        codes.insert(status.Status);
    return codes;
}

TEST(ExitStatuses, TheTableHoldsEveryStatusTheProgramReturnsOnceEach)
{
    const std::set<int> returned{HeadlessDone, HeadlessFileFailed, HeadlessBadCommandLine, HeadlessNoRadio,
                                 ScanMeterListed, ScanMeterNotListed, ScanNoRadio};
    EXPECT_EQ(StatusesOf(ExitStatuses()), returned);
    EXPECT_EQ(ExitStatuses().size(), returned.size());
}

TEST(ExitStatuses, HelpListsEachWithItsMeaningAfterTheOptions)
{
    const std::string help = CommandLineHelp();
    const std::size_t heading = help.find("\nExit status:\n");
    ASSERT_NE(heading, std::string::npos);
    EXPECT_GT(heading, help.find("--help "));
    for (const TExitStatus &status : ExitStatuses()) {
        const std::string line = "\n  " + std::to_string(status.Status) + "  " + status.Meaning + "\n";
        EXPECT_NE(help.find(line, heading), std::string::npos) << line;
    }
}

TEST(ExitStatuses, TheReadmeListsTheSameStatusesWithTheSameMeanings)
{
    std::vector<std::vector<std::string>> listed;
    for (const TExitStatus &status : ExitStatuses())
        listed.push_back({std::to_string(status.Status), status.Meaning});
    EXPECT_EQ(ReadmeTable("| Exit status | Meaning |"), listed);
}

} // namespace
