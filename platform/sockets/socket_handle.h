// SPDX-License-Identifier: Apache-2.0
// The platform's socket handle.
#pragma once

#include <cstdint>

#ifdef _WIN32
using TSocketHandle = std::uintptr_t;  // SOCKET
inline constexpr TSocketHandle InvalidSocket = ~static_cast<TSocketHandle>(0);
#else
using TSocketHandle = int;
inline constexpr TSocketHandle InvalidSocket = -1;
#endif
