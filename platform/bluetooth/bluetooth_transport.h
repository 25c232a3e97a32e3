// The link's transport: the platform's RFCOMM sockets (or whatever carries the
// meter's serial stream), call for call as the link uses them. Backends:
// bluetooth_win32 (Winsock, AF_BTH), bluetooth_bluez (kernel RFCOMM sockets),
// sim/ (sockets to the simulated meter) and TCP. Every socket a backend hands out is released
// through CloseSocket, every successful Startup through Cleanup.
#pragma once

#include "platform/sockets/socket_handle.h"

#include <array>
#include <cstdint>
#include <string>

// A service class identifier in the platform's GUID byte layout.
using TServiceClassId = std::array<std::uint8_t, 16>;

class IBluetoothTransport {
public:
    virtual ~IBluetoothTransport() = default;

    // Startup returns 0 on success; OpenSocket returns InvalidSocket on
    // failure; Connect returns -1 on failure and blocks until it has an answer.
    virtual int Startup() = 0;
    virtual TSocketHandle OpenSocket() = 0;
    virtual void SetReuseAddress(TSocketHandle socket) = 0;
    virtual int Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &serviceClass) = 0;
    virtual void CloseSocket(TSocketHandle socket) = 0;
    virtual void Cleanup() = 0;

    // The platform's own words for why the last Startup, OpenSocket or Connect
    // failed. The link never looks at it (its failures are silent); only the
    // trace reads it, right after the failure.
    virtual std::string LinkFailureText() const = 0;
};
