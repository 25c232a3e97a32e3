// SPDX-License-Identifier: Apache-2.0
#include "tests/app/readme_table.h"

#include <gtest/gtest.h>

#include <fstream>

std::vector<std::vector<std::string>> ReadmeTable(const std::string &heading)
{
    std::ifstream readme(READOUT_SOURCE_DIR "/README.md");
    EXPECT_TRUE(readme.is_open()) << READOUT_SOURCE_DIR "/README.md";
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(readme, line) && line.rfind(heading, 0) != 0) {
    }
    std::getline(readme, line);  // the rule under the heading
    while (std::getline(readme, line) && line.size() > 2 && line.front() == '|' && line.back() == '|') {
        std::vector<std::string> cells;
        std::size_t start = 1;
        for (std::size_t end; (end = line.find(" | ", start)) != std::string::npos; start = end + 2)
            cells.push_back(line.substr(start, end - start));
        cells.push_back(line.substr(start, line.size() - 1 - start));  // up to the closing bar
        for (std::string &cell : cells) {
            cell.erase(0, cell.find_first_not_of(' '));
            cell.erase(cell.find_last_not_of(' ') + 1);
        }
        rows.push_back(std::move(cells));
    }
    EXPECT_FALSE(rows.empty()) << "no table headed " << heading;
    return rows;
}
