// SPDX-License-Identifier: Apache-2.0
// The name steps that the files which must survive a power cut share on
// POSIX systems: a temporary name beside the target, a rename that never
// replaces, and a folder whose names are synced.
#pragma once

#include <string>

// The folder part of a path, with its final slash; empty for a bare name.
std::string FolderOf(const std::string &path);
// A fresh temporary path in the target's folder, so that a rename stays on one
// file system.
std::string TemporaryPathBeside(const std::string &target);
// Gives `from` the name `to` only while nothing has that name: 0, or the errno.
int RenameWithoutReplacing(const char *from, const char *to);
// Puts the names in the folder of `path` on the disk. Some file systems refuse
// to sync a folder; that is no failure of a file already in place.
void SyncFolderOf(const std::string &path);
