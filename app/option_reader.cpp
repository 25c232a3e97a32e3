// SPDX-License-Identifier: Apache-2.0
#include "app/option_reader.h"

#include <charconv>

std::optional<unsigned long> WholeNumber(std::string_view text, unsigned long low, unsigned long high)
{
    unsigned long value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

bool TOptionReader::Next()
{
    if (FStarted)
        ++FIndex;
    FStarted = true;
    if (FIndex >= FArgs.size())
        return false;
    FEquals = IsOption() ? Arg().find('=') : std::string::npos;
    FName = Arg().substr(0, FEquals);
    return true;
}

std::string TOptionReader::Value()
{
    std::string value;
    if (FEquals != std::string::npos)
        value = Arg().substr(FEquals + 1);
    else if (FIndex + 1 < FArgs.size())
        value = FArgs[++FIndex];
    else
        throw ECommandLineError(FName + " needs a value");
    if (value.rfind("--", 0) == 0)
        throw ECommandLineError(FName + " needs a value, not the option " + value);
    return value;
}

std::string TOptionReader::NonEmptyValue()
{
    std::string value = Value();
    if (value.empty())
        throw ECommandLineError(FName + " needs a value");
    return value;
}

void TOptionReader::Flag(bool &target) const
{
    if (FEquals != std::string::npos)
        throw ECommandLineError(FName + " takes no value");
    target = true;
}
