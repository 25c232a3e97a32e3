// SPDX-License-Identifier: Apache-2.0
// The simulated meter's end of one connection: a socket (a socket pair, an
// accepted TCP client) or the master of a pseudo-terminal, whose terminal end
// the program opens as a serial port. The meter serves both alike.
#pragma once

#include "sim/local_sockets.h"
#include "platform/streams/byte_stream.h"

#include <cstdint>
#include <memory>
#include <string>

class IMeterEnd {
public:
    virtual ~IMeterEnd() = default;

    // 1 when there are bytes to read (or the end of the connection), 0 when
    // the timeout has passed first, -1 on failure.
    virtual int WaitReadable(TTimeout timeout) = 0;
    // 1 when a send takes bytes again, 0 when the timeout has passed first,
    // -1 on failure.
    virtual int WaitWritable(TTimeout timeout) = 0;
    // The count received, 0 when the computer has closed its end, -1 on failure.
    virtual int Receive(std::uint8_t *data, std::int32_t count) = 0;
    // The count sent, 0 when the end takes nothing just now (wait until it is
    // writable), -1 on failure.
    virtual int Send(const std::uint8_t *data, std::int32_t count) = 0;
    // True while bytes sent wait for the computer to read them and Close
    // would drop them: a terminal drops them when its master closes, a socket
    // keeps them for its reader (and says false).
    virtual bool Unread() = 0;
    // The meter ends the connection while the computer still has it open.
    // Only the thread that serves the connection calls it.
    virtual void Close() = 0;
    // Wakes the serving thread from a send that blocks, from the thread that
    // destroys the meter; the end stays valid until it is destroyed.
    virtual void Wake() = 0;
};

// Serves a connected socket; closes it when destroyed.
std::unique_ptr<IMeterEnd> SocketMeterEnd(TOwnedSocket socket);

#ifndef _WIN32
// Makes a new pseudo-terminal, its terminal end in raw mode, and returns its
// master as the meter's end; `terminalPath` gets the path of the terminal end
// ("/dev/pts/5"). The end keeps a descriptor of the terminal open for its
// life, so that the program may open and close the port as often as it likes
// without the master seeing a hang-up. Throws std::runtime_error with the
// system's words when the system has no pseudo-terminal to give.
std::unique_ptr<IMeterEnd> PseudoTerminalMeterEnd(std::string &terminalPath);
#endif
