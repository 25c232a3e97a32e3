// SPDX-License-Identifier: Apache-2.0
// The computer's name on the network, as published readings name their source.
#pragma once

#include <string>

// The host name, UTF-8 ("lab-pc-3"); "localhost" when the system names none.
std::string HostName();
