// SPDX-License-Identifier: Apache-2.0
#include "publish/connection_failure.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <cerrno>

TConnectionFailure RefusalFailure(int code)
{
    // A broker that is busy or on its way down may take the next attempt; the
    // other refusals (user name or password, not authorised, banned, ...)
    // need a person.
    const bool needsPerson = code != MQTT_RC_SERVER_UNAVAILABLE && code != MQTT_RC_SERVER_BUSY &&
                             code != MQTT_RC_CONNECTION_RATE_EXCEEDED && code != MQTT_RC_SERVER_SHUTTING_DOWN;
    return {std::string("the broker refused the connection: ") + mosquitto_reason_string(code), needsPerson};
}

TConnectionFailure DeclinedFailure(int code)
{
    return {std::string("the broker does not take the readings: ") + mosquitto_reason_string(code), true};
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
