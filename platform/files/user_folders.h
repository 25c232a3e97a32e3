// SPDX-License-Identifier: Apache-2.0
// The user's own folders and the making of folders, as each system names them.
// Paths are UTF-8.
#pragma once

#include <string>

// Where programs keep a user's data files: Linux $XDG_DATA_HOME when it is an
// absolute path, else ~/.local/share; Windows %LOCALAPPDATA%. Throws EFileError
// (platform/files/atomic_file.h) when the system names no such folder.
std::string UserDataHome();

// `name` inside `folder`, joined with the system's separator.
std::string PathInFolder(const std::string &folder, const std::string &name);

// Makes the folder and every missing folder above it; a folder that exists
// already is fine. Throws EFileError (TFileStep::Create) naming the folder.
void MakeFolders(const std::string &folder);
