// The meter link: discovery of the meter, the RFCOMM link to it and the reading
// exchange, with the fields they share. The acquisition worker is a meter link
// that runs these on its thread.
#pragma once

#include "link/link_trace.h"
#include "link/worker_host.h"
#include "platform/meter_wire.h"
#include "platform/socket_handle.h"
#include "platform/trace_file.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>

class IBluetoothDiscovery;
class IBluetoothTransport;

inline constexpr std::size_t ReceiveBufferSize = 1024;

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

    std::uint64_t FDeviceAddress = 0;
    TSocketHandle FSocket = InvalidSocket;
    std::int32_t FMessageSize = 0;
    TColor FIndicatorColor = 0;
    bool FRadioFound = false;
    std::array<std::uint8_t, ReceiveBufferSize> FBuffer{};

protected:
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

    IBluetoothDiscovery *FDiscovery;
    IBluetoothTransport *FTransport;
    std::function<void()> FShowIndicator;
    TTraceFile *FTrace;
};
