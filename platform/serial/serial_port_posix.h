// SPDX-License-Identifier: Apache-2.0
// The POSIX side of the serial ports that a test reaches into.
#pragma once

#include "platform/serial/serial_port.h"

#include <string>
#include <vector>

// ListSerialPorts over the given roots instead of /dev and /sys, so that a
// test can give it a tree of its own.
std::vector<TSerialPortInfo> ListSerialPortsUnder(const std::string &devRoot, const std::string &sysRoot);
