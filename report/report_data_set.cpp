// SPDX-License-Identifier: Apache-2.0
#include "report/report_data_set.h"

#include <algorithm>

void TReportDataSet::First()
{
    if (OnFirst)
        OnFirst();
}

void TReportDataSet::Next()
{
    if (OnNext)
        OnNext();
}

void TReportDataSet::Prior()
{
    if (OnPrior)
        OnPrior();
}

bool TReportDataSet::Eof()
{
    bool eof = true;
    if (OnCheckEOF) {
        eof = false;
        OnCheckEOF(eof);
    }
    return eof;
}

bool TReportDataSet::HasField(const std::string &fieldName) const
{
    return std::find(Fields.begin(), Fields.end(), fieldName) != Fields.end();
}

TReportValue TReportDataSet::Value(const std::string &fieldName)
{
    TReportValue value;
    if (OnGetValue)
        OnGetValue(fieldName, value);
    if (OnNewGetValue)
        OnNewGetValue(fieldName, value);
    return value;
}
