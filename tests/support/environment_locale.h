// SPDX-License-Identifier: Apache-2.0
// For tests of what follows the environment's locale (POSIX only).
#pragma once

#ifndef _WIN32
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Points the environment at a locale for one test, and back afterwards.
class TEnvironmentLocale {
public:
    explicit TEnvironmentLocale(const char *name)
    {
        for (const char *variable : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LC_CTYPE", "LANG"}) {
            const char *value = std::getenv(variable);
            FSaved.emplace_back(variable, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(variable);
        }
        setenv("LC_ALL", name, 1);
    }
    ~TEnvironmentLocale()
    {
        for (const auto &[variable, value] : FSaved) {
            if (value)
                setenv(variable, value->c_str(), 1);
            else
                unsetenv(variable);
        }
    }
    TEnvironmentLocale(const TEnvironmentLocale &) = delete;
    TEnvironmentLocale &operator=(const TEnvironmentLocale &) = delete;

private:
    std::vector<std::pair<const char *, std::optional<std::string>>> FSaved;
};

// Whether the machine has the locale (a fresh machine has none generated).
inline bool LocaleExists(const char *name)
{
    locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
    if (locale == nullptr)
        return false;
    freelocale(locale);
    return true;
}
#endif
