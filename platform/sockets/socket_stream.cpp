// SPDX-License-Identifier: Apache-2.0
#include "platform/sockets/socket_stream.h"

#include "platform/sockets/socket_io.h"
#include "platform/sockets/tcp_socket.h"

#include <utility>

TSocketStream::TSocketStream(TSocketHandle socket, TCloser close) : FSocket(socket), FClose(std::move(close)) {}

TSocketStream::~TSocketStream()
{
    if (FClose && FSocket != InvalidSocket)
        FClose(FSocket);
}

int TSocketStream::Noted(int result)
{
    if (result < 0)
        FLastError = TcpSocket::LastError();
    return result;
}

int TSocketStream::WaitWritable(TTimeout timeout) { return Noted(::WaitWritable(FSocket, timeout)); }

int TSocketStream::WaitReadable(TTimeout timeout) { return Noted(::WaitReadable(FSocket, timeout)); }

int TSocketStream::Send(const std::uint8_t *data, std::int32_t count) { return Noted(SendBytes(FSocket, data, count)); }

int TSocketStream::Receive(std::uint8_t *data, std::int32_t count) { return Noted(ReceiveBytes(FSocket, data, count)); }

std::string TSocketStream::FailureText() const
{
    return FLastError != 0 ? TcpSocket::ErrorText(FLastError) : std::string("no error reported");
}
