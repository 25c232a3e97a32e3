// SPDX-License-Identifier: Apache-2.0
// A connected socket as the exchange's byte stream: RFCOMM on Windows and
// BlueZ, the TCP bridge, and the simulated meter's sockets all run the
// exchange through it.
#pragma once

#include "platform/sockets/socket_handle.h"
#include "platform/streams/byte_stream.h"

#include <functional>
#include <string>

class TSocketStream : public IByteStream {
public:
    using TCloser = std::function<void(TSocketHandle)>;

    // `close` ends the socket with the stream (for Winsock the clean-up that
    // matches its start-up too); empty: whoever connected it closes it.
    TSocketStream(TSocketHandle socket, TCloser close);
    ~TSocketStream() override;
    TSocketStream(const TSocketStream &) = delete;
    TSocketStream &operator=(const TSocketStream &) = delete;

    int WaitWritable(TTimeout timeout) override;
    int WaitReadable(TTimeout timeout) override;
    int Send(const std::uint8_t *data, std::int32_t count) override;
    int Receive(std::uint8_t *data, std::int32_t count) override;
    std::string FailureText() const override;

    TSocketHandle Handle() const { return FSocket; }

private:
    // Keeps the system's error of a call that failed.
    int Noted(int result);

    TSocketHandle FSocket;
    TCloser FClose;
    int FLastError = 0;
};
