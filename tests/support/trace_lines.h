// SPDX-License-Identifier: Apache-2.0
// Reading a trace file back, for the tests of what the program traces.
#pragma once

#include <chrono>
#include <string>
#include <vector>

// The file's lines without their line ends, as they are now.
std::vector<std::string> ReadTraceLines(const std::string &path);

// Each line's text after its "HH:MM:SS.mmm " time; a line without a time of
// day in that form makes the test fail.
std::vector<std::string> TraceTexts(const std::string &path);

// Waits until `count` lines hold `part`; true when they did within the timeout.
bool WaitForTraceText(const std::string &path, const std::string &part, std::size_t count = 1,
                      std::chrono::milliseconds timeout = std::chrono::seconds(20));

// The index of the first text at or after `from` that holds `part`; the
// texts' size when none does.
std::size_t FindText(const std::vector<std::string> &texts, const std::string &part, std::size_t from = 0);

// Each part in a text of its own, in this order (other texts between them).
void ExpectTextsInOrder(const std::vector<std::string> &texts, const std::vector<std::string> &parts);
