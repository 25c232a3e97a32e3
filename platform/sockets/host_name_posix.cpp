// SPDX-License-Identifier: Apache-2.0
#include "platform/sockets/host_name.h"

#include <unistd.h>

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}
