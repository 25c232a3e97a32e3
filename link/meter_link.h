// The meter link: discovery of the meter, the RFCOMM link to it and the reading
// exchange, with the fields they share. The acquisition worker is a meter link
// that runs these on its thread.
#pragma once

#include "link/link_trace.h"
#include "link/worker_host.h"
#include "link/meter_wire.h"
#include "platform/sockets/socket_handle.h"
#include "platform/files/trace_file.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>

class IBluetoothDiscovery;
class IBluetoothTransport;

inline constexpr std::size_t ReceiveBufferSize = 1024;
using TReceiveBuffer = std::array<std::uint8_t, ReceiveBufferSize>;

class TMeterLink {
public:
    // discovery: the radios and devices to search; transport: the sockets of
    // the link (Windows, BlueZ, the simulated computer, or TCP with its one
    // device). Both must outlive the link. showIndicator: the hand-off that shows
    // FIndicatorColor on the interface thread and returns once it has run.
    // trace: where discovery, link and exchange tell what they do; null for
    // none. It must outlive the link.
    TMeterLink(IBluetoothDiscovery *discovery, IBluetoothTransport *transport, std::function<void()> showIndicator,
               TTraceFile *trace = ProgramLinkTrace());
    TMeterLink(const TMeterLink &) = delete;
    TMeterLink &operator=(const TMeterLink &) = delete;
    virtual ~TMeterLink() = default;

    // Discovery (standard Bluetooth enumeration) and link.
    bool FindMeter();
    bool HasRadio() const;
    bool OpenLink();
    void CloseLink();

    // One request, one message of `size` bytes, one acknowledgement, on FSocket.
    bool ExchangeReading(std::int32_t size);

    // The meter's address from the last discovery that found it; 0 before.
    std::uint64_t DeviceAddress() const { return FDeviceAddress; }
    // The open link; InvalidSocket while none is open.
    TSocketHandle Socket() const { return FSocket; }
    // Lends the exchange a socket connected by other means (a socket pair, a
    // bare TCP connection) in place of OpenLink's; whoever connected it closes it.
    void LendSocket(TSocketHandle socket) { FSocket = socket; }
    // The colour that the showIndicator hand-off shows.
    TColor IndicatorColor() const { return FIndicatorColor; }
    // The size that the worker exchanges and parses.
    std::int32_t MessageSize() const { return FMessageSize; }
    // What the last exchange received: the acknowledgement byte, the message,
    // a terminating zero. Writable, so that a caller may lay a pattern into it
    // and see which bytes an exchange touches.
    const TReceiveBuffer &Buffer() const { return FBuffer; }
    TReceiveBuffer &Buffer() { return FBuffer; }

protected:
    // The worker's colours, each shown by a hand-off that follows.
    void SetIndicatorColor(TColor color) { FIndicatorColor = color; }

    // Writes what makeText() returns to the trace; without a trace nothing is
    // built, so an untraced link pays one test of a pointer. The trace never
    // disturbs the link: a line that cannot even be built (no memory left) is
    // left out.
    template <typename TMakeText>
    void Trace(TMakeText makeText) noexcept
    {
        if (FTrace == nullptr)
            return;
        try {
            FTrace->Write(makeText());
        } catch (const std::exception &) {
        }
    }

private:
    IBluetoothDiscovery *FDiscovery;
    IBluetoothTransport *FTransport;
    std::function<void()> FShowIndicator;
    TTraceFile *FTrace;
    std::uint64_t FDeviceAddress = 0;
    TSocketHandle FSocket = InvalidSocket;
    std::int32_t FMessageSize = static_cast<std::int32_t>(ReadingMessageSize);
    TColor FIndicatorColor = 0;
    bool FRadioFound = false;
    TReceiveBuffer FBuffer{};
};
