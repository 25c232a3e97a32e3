// SPDX-License-Identifier: Apache-2.0
// An open link to the meter as the reading exchange sees it: a stream of bytes
// with waits that keep deadlines to the microsecond. RFCOMM sockets (Winsock
// and BlueZ), the TCP bridge, serial ports and the simulated meter each give
// one; the exchange neither knows nor asks which. Destroying a stream closes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A wait's timeout: whole seconds plus microseconds, taken exactly
// (0 s + 500 us is 0.5 ms; 1 s + 500 us is 1.0005 s).
struct TTimeout {
    std::int32_t Seconds = 0;
    std::int32_t Microseconds = 0;
};

class IByteStream {
public:
    virtual ~IByteStream() = default;

    // Until the stream takes data without blocking / has data (or its end) to
    // read: 1 ready, 0 the timeout has passed, -1 failure. Never later than the
    // timeout, also when a signal interrupts the wait.
    virtual int WaitWritable(TTimeout timeout) = 0;
    virtual int WaitReadable(TTimeout timeout) = 0;
    // One call each: the count sent / received, -1 on failure; Receive gives 0
    // when the other end has closed. Never raises SIGPIPE.
    virtual int Send(const std::uint8_t *data, std::int32_t count) = 0;
    virtual int Receive(std::uint8_t *data, std::int32_t count) = 0;
    // The system's own words for why the last call failed; only the trace reads
    // it, right after the failure.
    virtual std::string FailureText() const = 0;
};

// A stream just opened, or the system's words for why it could not be.
struct TStreamOpening {
    std::unique_ptr<IByteStream> Stream;
    std::string Failure;
};

// One way to the meter: a Bluetooth socket to the device that discovery found,
// a TCP bridge, a serial port, the simulated meter. Each reading cycle opens a
// stream, runs the exchange on it and closes it.
class IMeterRoute {
public:
    virtual ~IMeterRoute() = default;
    // `address`: the device that discovery found, for the routes that discover
    // (Bluetooth by name or by address); the others ignore it. Blocks until the
    // system has an answer.
    virtual TStreamOpening Open(std::uint64_t address) = 0;
};
