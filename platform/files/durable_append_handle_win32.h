// SPDX-License-Identifier: Apache-2.0
// How the durable append file opens its file on Windows; apart so that a test
// can ask the system which access the handle really has.
#pragma once

#include <string>

#include <windows.h>

// Opens a file that others may read but not write while it is open: a new
// one (never an existing one) with CREATE_NEW, the one just made with
// OPEN_EXISTING. INVALID_HANDLE_VALUE and the last error on failure.
HANDLE CreateDurableAppendHandle(const std::wstring &path, DWORD disposition = CREATE_NEW);
