// SPDX-License-Identifier: Apache-2.0
// The expressions of report texts: [DATE], [TIME] and [<record source>."<field>"].
#pragma once

#include "report/report_data_set.h"

#include <string>
#include <string_view>
#include <vector>

struct TExpressionContext {
    std::string Date;  // what [DATE] gives
    std::string Time;  // what [TIME] gives
    std::vector<TReportDataSet *> DataSets;
};

// The text with every bracketed expression replaced by its value; values are not
// looked at again. A '[' without its ']' stands for itself. An expression the
// engine does not know is an error of the template: std::runtime_error naming
// the object and the expression.
std::string ResolveExpressions(std::string_view text, const TExpressionContext &context,
                               std::string_view objectName);
