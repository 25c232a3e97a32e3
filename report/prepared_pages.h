// SPDX-License-Identifier: Apache-2.0
// Prepared report pages as data: every object placed and every text resolved, ready
// to be drawn or inspected. Boxes are in millimetres from the top-left corner of the
// page's printable area.
#pragma once

#include "report/report_template.h"

#include <string>
#include <variant>
#include <vector>

struct TPreparedText {
    std::string Name;  // the template object it came from
    TReportBox Box;
    std::string Text;  // resolved, UTF-8
    TReportFont Font;
    TTextAlign Align = TTextAlign::Left;
    bool WordWrap = true;
    // The text's horizontal scale, at most 1: below 1 it is drawn that much
    // narrower, so that it fits its box on one line.
    double Condense = 1;
};

struct TPreparedLine {
    std::string Name;
    TReportBox Box;
};

using TPreparedObject = std::variant<TPreparedText, TPreparedLine>;

struct TPreparedPage {
    double PaperWidth = 210, PaperHeight = 297;
    double MarginLeft = 10, MarginTop = 10;
    std::vector<TPreparedObject> Objects;  // in drawing order
};
