// SPDX-License-Identifier: Apache-2.0
// --scan: one discovery, walked as acquisition walks it but over every radio,
// printed radio by radio with every device listed, then the program ends.
#pragma once

#include "app/command_line.h"
#include "app/meter_backend.h"

#include <cstdio>

// Exit statuses of --scan.
inline constexpr int ScanMeterListed = 0;
inline constexpr int ScanMeterNotListed = 1;
inline constexpr int ScanNoRadio = 3;

// The report goes to `out`, the no-radio message to `messages`. With a route
// that needs no discovery (--meter tcp: or serial:) there is nothing to
// search: one line names it. With --meter bt: the pinned device is sought.
int RunScan(const TCommandLine &line, TMeterBackend &backend, std::FILE *out, std::FILE *messages);
