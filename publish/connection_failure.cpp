// SPDX-License-Identifier: Apache-2.0
#include "publish/connection_failure.h"

#include <mosquitto.h>

#include <cerrno>

TConnectionFailure RefusalFailure(int code)
{
    // "Connection Refused: bad user name or password."
    std::string words = mosquitto_connack_string(code);
    while (!words.empty() && words.back() == '.')
        words.pop_back();
    // 1 (protocol) and 3 (server unavailable) may pass; the others need a person.
    const bool needsPerson = code == 2 || code == 4 || code == 5;
    return {"the broker refused the connection (" + words + ")", needsPerson};
}

TConnectionFailure CertificateFailure(const std::string &reason)
{
    return {"the broker's certificate is not trusted: " + reason, true};
}

TConnectionFailure LibraryFailure(int result, const std::string &lastLogError)
{
    const int error = errno;
    switch (result) {
    case MOSQ_ERR_EAI:
        return {"the broker's host is not found: " + LookupErrorText(error), true};
    case MOSQ_ERR_ERRNO:
        return {NetworkErrorText(error), false};
    case MOSQ_ERR_TLS:
        return {"the secure connection failed" + (lastLogError.empty() ? std::string() : ": " + lastLogError), true};
    case MOSQ_ERR_NO_CONN:
    case MOSQ_ERR_CONN_LOST:
        return {"the connection was lost", false};
    default:
        return {mosquitto_strerror(result), false};
    }
}
