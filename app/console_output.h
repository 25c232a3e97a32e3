// SPDX-License-Identifier: Apache-2.0
// Text the program writes to standard output and standard error. On Windows a
// console shows text in its own code page, not the ANSI one the rows are in,
// and not UTF-8: there, text for a console goes through the console's
// wide-character output, so a degree sign stays a degree sign. Anything else (a
// file, a pipe, Linux) gets the bytes as they are.
#pragma once

#include <cstdio>
#include <string_view>

enum class TTextEncoding {
    Ansi,  // rows, as Save writes them: the ANSI code page
    Utf8,  // the program's own messages
};

// Writes `bytes` to `stream` and flushes it.
void WriteOutput(std::FILE *stream, std::string_view bytes, TTextEncoding encoding);

// The windowed Windows program has no console of its own: the headless run,
// --help and command-line errors write to the console it was started from,
// where its output is not redirected already. Does nothing elsewhere.
void UseParentConsole();
