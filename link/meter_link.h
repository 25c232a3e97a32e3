// SPDX-License-Identifier: Apache-2.0
// The meter link: discovery of the meter, the link to it (a byte stream that
// the route opens) and the reading exchange, with the fields they share. The acquisition worker is a meter link
// that runs these on its thread.
#pragma once

#include "link/link_trace.h"
#include "link/worker_host.h"
#include "link/meter_way.h"
#include "link/meter_wire.h"
#include "platform/files/trace_file.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

inline constexpr std::size_t ReceiveBufferSize = 1024;
using TReceiveBuffer = std::array<std::uint8_t, ReceiveBufferSize>;

class TMeterLink {
public:
    // way: the route to the meter and, where it needs one, the discovery (see
    // TMeterWay); both must outlive the link. showIndicator: the hand-off that shows
    // FIndicatorColor on the interface thread and returns once it has run.
    // trace: where discovery, link and exchange tell what they do; null for
    // none. It must outlive the link.
    TMeterLink(TMeterWay way, std::function<void()> showIndicator, TTraceFile *trace = ProgramLinkTrace());
    TMeterLink(const TMeterLink &) = delete;
    TMeterLink &operator=(const TMeterLink &) = delete;
    virtual ~TMeterLink() = default;

    // Discovery (standard Bluetooth enumeration; a route without discovery
    // finds the meter at once) and link.
    bool FindMeter();
    bool HasRadio() const;
    // Whether the route searches for the meter first (Bluetooth) or leads
    // straight to it (a serial port, a TCP bridge).
    bool Discovers() const { return FWay.Discovery != nullptr; }
    bool OpenLink();
    void CloseLink();

    // One request, one message of `size` bytes, one acknowledgement, on the open stream.
    bool ExchangeReading(std::int32_t size);

    // The meter's address from the last discovery that found it; 0 before.
    std::uint64_t DeviceAddress() const { return FDeviceAddress; }
    // The open link; null while none is open.
    IByteStream *Stream() const { return FStream.get(); }
    // Gives the exchange a stream opened by other means (a socket pair, a bare
    // TCP connection) in place of OpenLink's.
    void UseStream(std::unique_ptr<IByteStream> stream) { FStream = std::move(stream); }
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
    TMeterWay FWay;
    std::function<void()> FShowIndicator;
    TTraceFile *FTrace;
    std::uint64_t FDeviceAddress = 0;
    std::unique_ptr<IByteStream> FStream;
    std::int32_t FMessageSize = static_cast<std::int32_t>(ReadingMessageSize);
    TColor FIndicatorColor = 0;
    bool FRadioFound = false;
    TReceiveBuffer FBuffer{};
};
