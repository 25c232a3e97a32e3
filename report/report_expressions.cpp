// SPDX-License-Identifier: Apache-2.0
#include "report/report_expressions.h"

#include <stdexcept>

namespace {

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

[[noreturn]] void Unknown(std::string_view expression, std::string_view objectName,
                          std::string_view why)
{
    throw std::runtime_error("The report text " + std::string(objectName) + " holds the expression [" +
                             std::string(expression) + "], " + std::string(why));
}

std::string Evaluate(std::string_view expression, const TExpressionContext &context,
                     std::string_view objectName)
{
    const std::string_view body = Trimmed(expression);
    if (body == "DATE")
        return context.Date;
    if (body == "TIME")
        return context.Time;

    // <record source>."<field>"
    const std::size_t dot = body.find('.');
    if (dot == std::string_view::npos || body.size() < dot + 3 || body[dot + 1] != '"' ||
        body.back() != '"')
        Unknown(expression, objectName, "which the report engine does not know");
    const std::string sourceName(Trimmed(body.substr(0, dot)));
    const std::string field(body.substr(dot + 2, body.size() - dot - 3));
    for (TReportDataSet *source : context.DataSets) {
        if (source->UserName != sourceName)
            continue;
        if (!source->HasField(field))
            Unknown(expression, objectName, "but its record source has no such field");
        return source->Value(field);
    }
    Unknown(expression, objectName, "but the report has no such record source");
}

} // namespace

std::string ResolveExpressions(std::string_view text, const TExpressionContext &context,
                               std::string_view objectName)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('[', pos);
        const std::size_t close = open == std::string_view::npos ? open : text.find(']', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        out += Evaluate(text.substr(open + 1, close - open - 1), context, objectName);
        pos = close + 1;
    }
    return out;
}
