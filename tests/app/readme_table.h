// SPDX-License-Identifier: Apache-2.0
// The README's tables, read so that tests can hold them against the program's
// own lists.
#pragma once

#include <string>
#include <vector>

// The cells of each row of the README's table whose heading row begins with
// `heading` (the heading and the rule under it left out), each cell without
// the spaces around it.
std::vector<std::vector<std::string>> ReadmeTable(const std::string &heading);
