// SPDX-License-Identifier: Apache-2.0
#include "publish/broker_address.h"

#include <charconv>

namespace {

constexpr int kPlainPort = 1883;
constexpr int kTlsPort = 8883;
// An MQTT topic is at most 65535 bytes; the longest topic of a run adds the
// status level and a host name to the prefix.
constexpr std::size_t kLongestPrefix = 60000;

[[noreturn]] void Fail(std::string_view text, const std::string &why)
{
    throw EBrokerAddressError("--publish '" + std::string(text) + "': " + why);
}

bool StartsWithNoCase(std::string_view text, std::string_view start)
{
    if (text.size() < start.size())
        return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != start[i])
            return false;
    }
    return true;
}

bool IsHostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

} // namespace

TBrokerAddress ParseBrokerAddress(std::string_view text)
{
    TBrokerAddress address;
    std::string_view rest;
    if (StartsWithNoCase(text, "mqtts://")) {
        address.Tls = true;
        address.Port = kTlsPort;
        rest = text.substr(8);
    } else if (StartsWithNoCase(text, "mqtt://")) {
        address.Tls = false;
        address.Port = kPlainPort;
        rest = text.substr(7);
    } else {
        Fail(text, "not mqtts://HOST[:PORT]/PREFIX or mqtt://HOST[:PORT]/PREFIX");
    }

    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        Fail(text, "no topic prefix after the host (mqtts://HOST[:PORT]/PREFIX)");
    std::string_view authority = rest.substr(0, slash);
    std::string_view prefix = rest.substr(slash + 1);

    if (authority.find('@') != std::string_view::npos)
        Fail(text, "a user goes into --publish-user, a password into READOUT_MQTT_PASSWORD or --publish-password-file");
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            Fail(text, "an IPv6 address without its closing ]");
        address.Host = std::string(authority.substr(1, close - 1));
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':')
            Fail(text, "only :PORT may follow an IPv6 address");
        hasPort = !after.empty();
        if (hasPort)
            portText = after.substr(1);
        for (char c : address.Host)
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.'))
                Fail(text, "'" + address.Host + "' is no IPv6 address");
        if (address.Host.find(':') == std::string::npos)
            Fail(text, "'" + address.Host + "' is no IPv6 address");
    } else {
        const std::size_t colon = authority.find(':');
        address.Host = std::string(authority.substr(0, colon));
        hasPort = colon != std::string_view::npos;
        if (hasPort)
            portText = authority.substr(colon + 1);
        for (char c : address.Host)
            if (!IsHostCharacter(c))
                Fail(text, "'" + address.Host + "' is no host name or address");
    }
    if (address.Host.empty())
        Fail(text, "no host");
    if (hasPort) {
        int port = 0;
        const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (error != std::errc() || end != portText.data() + portText.size() || port < 1 || port > 65535)
            Fail(text, "the port must be a number from 1 to 65535");
        address.Port = port;
    }

    while (!prefix.empty() && prefix.back() == '/')
        prefix.remove_suffix(1);
    if (prefix.empty())
        Fail(text, "no topic prefix after the host (mqtts://HOST[:PORT]/PREFIX)");
    if (prefix.find_first_of("+#") != std::string_view::npos)
        Fail(text, "the topic prefix may not hold the wildcards + and #");
    if (prefix.find('?') != std::string_view::npos)
        Fail(text, "a query has no meaning here");
    for (unsigned char c : prefix)
        if (c < 0x20 || c == 0x7F)
            Fail(text, "the topic prefix holds a control character");
    if (prefix.size() > kLongestPrefix)
        Fail(text, "the topic prefix is too long");
    address.Prefix = std::string(prefix);
    return address;
}

std::string BrokerAddressText(const TBrokerAddress &address)
{
    const bool ipv6 = address.Host.find(':') != std::string::npos;
    return std::string(address.Tls ? "mqtts://" : "mqtt://") + (ipv6 ? "[" : "") + address.Host +
           (ipv6 ? "]" : "") + ":" + std::to_string(address.Port) + "/" + address.Prefix;
}
