// SPDX-License-Identifier: Apache-2.0
// Laying out one pass of a banded report: pages, bands and objects placed, texts
// resolved. Standard library only; the caller supplies text measuring and the hook
// that lets pending work run.
#pragma once

#include "report/prepared_pages.h"
#include "report/report_expressions.h"
#include "report/report_template.h"

#include <functional>
#include <string>
#include <vector>

struct TPreparationContext {
    TExpressionContext Expressions;
    // The width of a text in millimetres, the widest line for several lines.
    std::function<double(const TReportFont &font, const std::string &text)> MeasureTextMm;
    // Called at the start of every data walk and at every new page.
    std::function<void()> ProcessMessages;
};

// One pass over the template; walks the record source of every data band once.
// Always yields at least one page. A data row goes to the next page when its bottom
// would lie below the printable height; a row too tall for any page is placed all
// the same, on a page of its own, rather than asking for pages without end.
std::vector<TPreparedPage> PrepareReportPass(const TReportPage &page, const TPreparationContext &context);
