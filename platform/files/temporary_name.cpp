// SPDX-License-Identifier: Apache-2.0
#include "platform/files/temporary_name.h"

#include <algorithm>

namespace {

// A bijective mix (the finaliser of splitmix64): inputs that differ in any bit
// give names that differ in their first digits, which a short name keeps.
std::uint64_t Mix(std::uint64_t value)
{
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

} // namespace

std::string TemporaryFileName(std::size_t targetNameLength, std::uint64_t process, std::uint64_t count,
                              std::uint64_t ticks)
{
    const std::size_t length = std::clamp<std::size_t>(targetNameLength, 1, LongestTemporaryName);
    std::uint64_t value = Mix(Mix(process ^ Mix(ticks)) + count);
    std::string name = "~";
    while (name.size() < length) {
        name += "0123456789abcdefghijklmnopqrstuvwxyz"[value % 36];
        value /= 36;
    }
    return name;
}
