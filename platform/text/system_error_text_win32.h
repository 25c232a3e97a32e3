// SPDX-License-Identifier: Apache-2.0
// The system's own words for a Win32 error code, for the messages the operator
// reads.
#pragma once

#include <string>

// The description as UTF-8, in the user's language or, when language (a
// LANGID) is not 0, in that one. It comes from the wide call: the ANSI one
// would turn the accented letters of a non-English Windows into question marks
// or into bytes of another code page. "Error <code>" when the system has no
// text for the code in that language.
std::string SystemErrorText(unsigned long error, unsigned short language = 0);
