// SPDX-License-Identifier: Apache-2.0
// A record source whose records and values the program supplies through callbacks.
// The engine walks it: First, then while the end test is false, the values of one
// record and Next.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A value as the record source gives it: printed as it stands, with no format.
using TReportValue = std::string;

class TReportDataSet {
public:
    using TNotify = std::function<void()>;
    using TCheckEOF = std::function<void(bool &eof)>;
    using TGetValue = std::function<void(const std::string &fieldName, TReportValue &value)>;

    // The name by which the template's expressions refer to this source.
    std::string UserName;
    std::vector<std::string> Fields;

    TNotify OnFirst;
    TNotify OnNext;
    TNotify OnPrior;
    TCheckEOF OnCheckEOF;
    TGetValue OnGetValue;
    TGetValue OnNewGetValue;

    void First();
    void Next();
    void Prior();
    // Without an end test the source has no records: a walk that could never end
    // helps nobody.
    bool Eof();
    bool HasField(const std::string &fieldName) const;
    // Asks OnGetValue, then OnNewGetValue, starting from an empty value.
    TReportValue Value(const std::string &fieldName);
};
