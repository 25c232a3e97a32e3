// SPDX-License-Identifier: Apache-2.0
// The form of a path that every Win32 file call of the program is given: the
// whole path after "\\?\", which lifts the limit of 260 characters (MAX_PATH)
// on every Windows, whatever its long path setting. Messages keep showing the
// path as the operator wrote it.
#pragma once

#include <string>

// The absolute form of a UTF-8 path ("." and ".." resolved, "/" turned into
// "\", relative to the current folder) behind "\\?\": "\\?\C:\..." for a drive,
// "\\?\UNC\server\share\..." for "\\server\share\...". A path that has the
// prefix already and a device ("\\.\COM5", also what "NUL" or "COM5" names)
// stay as they are. Empty for an empty text or one that is not UTF-8.
std::wstring SystemPath(const std::string &pathUtf8);
