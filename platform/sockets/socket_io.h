// SPDX-License-Identifier: Apache-2.0
// A thin wrapper of the socket calls that the reading exchange makes (waits,
// send, receive, the fixed pause). One implementation per operating system:
// socket_io_posix.cpp and socket_io_win32.cpp. The sockets that
// the simulated meter, the tools and the tests make for themselves are in
// sim/local_sockets.h.
//
// Sockets stay in the platform's default blocking mode; nothing here changes it.
#pragma once

#include "platform/sockets/socket_handle.h"
#include "platform/streams/byte_stream.h"

#include <cstdint>

// Waits until the socket accepts data without blocking / has data (or an end
// of stream) to read. Returns 1 when ready, 0 when the timeout has passed, -1
// on failure (e.g. not a socket). Never returns later than the timeout, also
// when a signal interrupts the wait.
int WaitWritable(TSocketHandle socket, TTimeout timeout);
int WaitReadable(TSocketHandle socket, TTimeout timeout);

// Sends `count` bytes in one call; returns what the platform's send returned
// (the count sent, or -1 on failure). Never raises SIGPIPE.
int SendBytes(TSocketHandle socket, const std::uint8_t *data, std::int32_t count);

// Receives at most `count` bytes in one call: the count received, 0 when the
// peer has closed the connection, -1 on failure.
int ReceiveBytes(TSocketHandle socket, std::uint8_t *data, std::int32_t count);

// The exchange's fixed pause, multiplied by the pause scale.
void Pause(std::int32_t milliseconds);

// Scale of the fixed pauses, 1 by default. Tests set 0 to run the exchange's
// logic without its 400 ms of pauses; the waits are never scaled.
void SetPauseScale(double scale);
double PauseScale();

// Sets the pause scale for as long as it lives, then restores the previous one.
class TPauseScaleGuard {
public:
    explicit TPauseScaleGuard(double scale) : FPrevious(PauseScale()) { SetPauseScale(scale); }
    ~TPauseScaleGuard() { SetPauseScale(FPrevious); }
    TPauseScaleGuard(const TPauseScaleGuard &) = delete;
    TPauseScaleGuard &operator=(const TPauseScaleGuard &) = delete;

private:
    double FPrevious;
};
