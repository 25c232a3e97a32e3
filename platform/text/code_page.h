// SPDX-License-Identifier: Apache-2.0
// Text in the system's ANSI code page (Windows: GetACP; Linux: the locale's
// codeset, UTF-8 where the locale is the bare C/POSIX one). The program's own
// texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

// Bytes in the ANSI code page to UTF-8 text.
std::string AnsiToUtf8(std::string_view bytes);
// UTF-8 text to bytes in the ANSI code page; a character the code page lacks
// becomes the code page's substitute ("?" in most).
std::string Utf8ToAnsi(std::string_view text);
// The code page's name, for messages and tests ("CP1252", "UTF-8", ...).
std::string AnsiCodePageName();
