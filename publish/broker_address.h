// SPDX-License-Identifier: Apache-2.0
// Where readings are published: --publish mqtts://HOST[:PORT]/PREFIX (TLS, 8883
// unless given) or mqtt://HOST[:PORT]/PREFIX (plain, 1883).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

struct TBrokerAddress {
    bool Tls = true;
    std::string Host;    // a name, an IPv4 address or an IPv6 address (no brackets)
    int Port = 8883;
    std::string Prefix;  // the topic levels every topic of the run begins with

    bool operator==(const TBrokerAddress &) const = default;
};

// What is wrong with a --publish value, in one line for the operator.
class EBrokerAddressError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a --publish value. The scheme is mqtt or mqtts in any case; the host is
// required, IPv6 in brackets; the port 1 to 65535; the prefix one or more topic
// levels without the wildcards + and #, and without user, query or fragment.
TBrokerAddress ParseBrokerAddress(std::string_view text);

// The value back in its plain form: mqtts://host:8883/prefix, IPv6 in brackets.
// Two values that name the same broker and prefix give the same text.
std::string BrokerAddressText(const TBrokerAddress &address);
