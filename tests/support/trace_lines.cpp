// SPDX-License-Identifier: Apache-2.0
#include "tests/support/trace_lines.h"

#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

std::vector<std::string> ReadTraceLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> TraceTexts(const std::string &path)
{
    static const std::regex timed("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]\\.[0-9]{3} (.*)");
    std::vector<std::string> texts;
    for (const std::string &line : ReadTraceLines(path)) {
        std::smatch match;
        if (std::regex_match(line, match, timed))
            texts.push_back(match[2]);
        else
            ADD_FAILURE() << "a trace line without its time of day: " << line;
    }
    return texts;
}

bool WaitForTraceText(const std::string &path, const std::string &part, std::size_t count,
                      std::chrono::milliseconds timeout)
{
    return WaitUntil(
        [&] {
            std::size_t found = 0;
            for (const std::string &line : ReadTraceLines(path))
                found += line.find(part) != std::string::npos ? 1 : 0;
            return found >= count;
        },
        timeout);
}

std::size_t FindText(const std::vector<std::string> &texts, const std::string &part, std::size_t from)
{
    for (std::size_t i = from; i < texts.size(); ++i)
        if (texts[i].find(part) != std::string::npos)
            return i;
    return texts.size();
}

void ExpectTextsInOrder(const std::vector<std::string> &texts, const std::vector<std::string> &parts)
{
    std::size_t at = 0;
    for (const std::string &part : parts) {
        const std::size_t found = FindText(texts, part, at);
        if (found == texts.size()) {
            std::string all;
            for (const std::string &text : texts)
                all += "\n  " + text;
            ADD_FAILURE() << "no \"" << part << "\" after line " << at << " of the trace:" << all;
            return;
        }
        at = found + 1;
    }
}
