// SPDX-License-Identifier: Apache-2.0
// The program's arguments as the platform splits its command line, read before
// Qt takes its own options out of argv.
#pragma once

#include <string>
#include <vector>

// The arguments after the program's name. Linux: argv as given. Windows: the
// command line as one text (GetCommandLineW) split by SplitCommandLine.
std::vector<std::string> ProgramArguments(int argc, char **argv);
