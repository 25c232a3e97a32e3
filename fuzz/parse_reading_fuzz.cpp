// SPDX-License-Identifier: Apache-2.0
// Fuzzes the reading message parser. The input is a message as the meter sends it;
// its first byte, which the acknowledgement overwrites anyway, picks the locale's
// decimal separator.
#include "fuzz/parse_harness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char32_t separator = size > 0 && (data[0] & 1) != 0 ? U',' : U'.';
    const TParseOutcome outcome = ParseLaidOut(data, size, separator);
    if (!outcome.Problem.empty()) {
        std::fprintf(stderr, "parser broke the buffer: %s\n", outcome.Problem.c_str());
        std::abort();
    }
    return 0;
}
