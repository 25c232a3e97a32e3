// SPDX-License-Identifier: Apache-2.0
// The end of the process when a thread of it cannot be ended in order: a
// Bluetooth search or a connection that the system does not let go of in
// time. Returning from main would destroy what that thread still uses.
#pragma once

// Puts out what the C streams hold, then ends the process at once with
// `status`, without destructors, exit handlers or the other threads.
[[noreturn]] void EndProcessNow(int status);
