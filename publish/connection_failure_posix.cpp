// SPDX-License-Identifier: Apache-2.0
#include "publish/connection_failure.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <netdb.h>
#include <sys/socket.h>

std::string NetworkErrorText(int error)
{
    return std::strerror(error);
}

std::string LookupErrorText(int error)
{
    return gai_strerror(error);
}

bool ConnectFailed(int socket)
{
    if (socket < 0)
        return false;
    pollfd ready{socket, POLLOUT, 0};
    if (poll(&ready, 1, 0) != 1)
        return false;  // still connecting
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    return getpeername(socket, reinterpret_cast<sockaddr *>(&peer), &length) != 0 && errno == ENOTCONN;
}
