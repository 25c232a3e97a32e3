// How the durable append file opens its file on Windows; apart so that a test
// can ask the system which access the handle really has.
#pragma once

#include <string>

#include <windows.h>

// Creates a new file (never an existing one) that others may read but not
// write while it is open. INVALID_HANDLE_VALUE and the last error on failure.
HANDLE CreateDurableAppendHandle(const std::wstring &path);
