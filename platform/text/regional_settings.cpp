// SPDX-License-Identifier: Apache-2.0
#include "platform/text/regional_settings.h"

#include <mutex>

namespace {
std::mutex currentMutex;
TRegionalSettings current;
} // namespace

TRegionalSettings CurrentRegionalSettings()
{
    std::lock_guard lock(currentMutex);
    return current;
}

char32_t CurrentDecimalSeparator()
{
    std::lock_guard lock(currentMutex);
    return current.DecimalSeparator;
}

void SetCurrentRegionalSettings(const TRegionalSettings &settings)
{
    std::lock_guard lock(currentMutex);
    current = settings;
}

void RefreshRegionalSettings()
{
    SetCurrentRegionalSettings(ReadUserRegionalSettings());
}
