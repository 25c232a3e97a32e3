// SPDX-License-Identifier: Apache-2.0
// The name of the temporary file that a save writes beside its target before
// the rename.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The length of the longest name below.
inline constexpr std::size_t LongestTemporaryName = 8;

// "~" and base-36 digits mixed from the process, a running count of the
// process and the clock, so that saves of several programs and threads do not
// meet (the creation still refuses a name that exists). LongestTemporaryName
// characters at most, and never longer than the target's name, counted in the
// units the system limits (UTF-16 on Windows, bytes elsewhere): the temporary's
// path is then never longer than the target's, and a target the system accepts
// can never be refused for the temporary's length.
std::string TemporaryFileName(std::size_t targetNameLength, std::uint64_t process, std::uint64_t count,
                              std::uint64_t ticks);
