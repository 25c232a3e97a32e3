// The program's exit statuses: the ones it returns, the ones --help lists and
// the ones the README lists are the same.
#include "app/command_line.h"
#include "app/headless_runner.h"
#include "app/scan_runner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <utility>
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

// The rows of the README's table under the heading "| Exit status | Meaning |".
std::vector<std::pair<int, std::string>> ReadmeExitStatuses()
{
    std::ifstream readme(READOUT_SOURCE_DIR "/README.md");
    EXPECT_TRUE(readme.is_open()) << READOUT_SOURCE_DIR "/README.md";
    std::vector<std::pair<int, std::string>> rows;
    std::string line;
    bool inTable = false;
    while (std::getline(readme, line)) {
        if (line.rfind("| Exit status | Meaning |", 0) == 0) {
            inTable = true;
            std::getline(readme, line);  // the rule under the heading
        } else if (inTable && line.rfind("| ", 0) == 0) {
            const std::size_t between = line.find(" | ", 2);
            const std::size_t end = line.rfind(" |");
            if (between == std::string::npos || end <= between)
                break;
            rows.emplace_back(std::stoi(line.substr(2, between - 2)), line.substr(between + 3, end - between - 3));
        } else if (inTable) {
            break;
        }
    }
    return rows;
}

TEST(ExitStatuses, TheReadmeListsTheSameStatusesWithTheSameMeanings)
{
    std::vector<std::pair<int, std::string>> listed;
    for (const TExitStatus &status : ExitStatuses())
        listed.emplace_back(status.Status, status.Meaning);
    EXPECT_EQ(ReadmeExitStatuses(), listed);
}

} // namespace
