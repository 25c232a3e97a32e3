// SPDX-License-Identifier: Apache-2.0
// The name steps that the files which must survive a power cut share on
// Windows: a temporary name beside the target, and the one way a file is
// flushed to the disk, which a test can count.
#pragma once

#include <cstddef>
#include <string>

#include <windows.h>

// The folder part of a path, with its final separator; empty for a bare name.
std::wstring FolderOf(const std::wstring &path);
// A fresh path in the target's folder, so that a rename stays on one volume;
// nameLength as TemporaryFileName takes it.
std::wstring PathBeside(const std::wstring &target, std::size_t nameLength);
// The characters of a path's last part.
std::size_t NameLength(const std::wstring &path);

// FlushFileBuffers, counted.
BOOL FlushToDisk(HANDLE file);
// How many flushes to the disk have succeeded in this process.
unsigned long long FlushesToDisk();
