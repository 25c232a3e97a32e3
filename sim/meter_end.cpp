// SPDX-License-Identifier: Apache-2.0
#include "sim/meter_end.h"

#include "platform/sockets/socket_io.h"

namespace {

// Blocking sends: a send that the computer does not read blocks until Wake.
class TSocketMeterEnd : public IMeterEnd {
public:
    explicit TSocketMeterEnd(TOwnedSocket socket) : FSocket(std::move(socket)) {}

    int WaitReadable(TTimeout timeout) override { return ::WaitReadable(FSocket.Get(), timeout); }
    int WaitWritable(TTimeout timeout) override { return ::WaitWritable(FSocket.Get(), timeout); }
    int Receive(std::uint8_t *data, std::int32_t count) override { return ReceiveBytes(FSocket.Get(), data, count); }
    int Send(const std::uint8_t *data, std::int32_t count) override { return SendBytes(FSocket.Get(), data, count); }
    bool Unread() override { return false; }
    // Shut down rather than closed: the socket is closed by its owner once the
    // serving thread has ended, so no other thread can meet a reused descriptor.
    void Close() override { ShutdownSocket(FSocket.Get(), TShutdownHow::Both); }
    void Wake() override { ShutdownSocket(FSocket.Get(), TShutdownHow::Both); }

private:
    TOwnedSocket FSocket;
};

} // namespace

std::unique_ptr<IMeterEnd> SocketMeterEnd(TOwnedSocket socket)
{
    return std::make_unique<TSocketMeterEnd>(std::move(socket));
}
