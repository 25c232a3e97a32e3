// SPDX-License-Identifier: Apache-2.0
#include "publish/connection_failure.h"

#include "platform/text/system_error_text_win32.h"

#include <winsock2.h>

// On Windows the library leaves WSAGetLastError() in errno, whose text the
// library itself does not know ("Unknown error"): the system says it.
std::string NetworkErrorText(int error)
{
    return SystemErrorText(static_cast<unsigned long>(error));
}

std::string LookupErrorText(int error)
{
    return SystemErrorText(static_cast<unsigned long>(error));
}

bool ConnectFailed(int socket)
{
    if (socket < 0)
        return false;
    // Windows tells of a failed connection among the exceptions.
    const SOCKET handle = static_cast<SOCKET>(socket);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(handle, &failed);
    timeval now{0, 0};
    return select(0, nullptr, nullptr, &failed, &now) == 1;
}
