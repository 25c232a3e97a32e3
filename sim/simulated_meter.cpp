// SPDX-License-Identifier: Apache-2.0
#include "sim/simulated_meter.h"

#include "sim/meter_end.h"
#include "platform/files/file_facts.h"
#include "platform/files/whole_file.h"

#include <algorithm>
#include <stdexcept>

namespace {

// How long a serving or accepting thread waits before it looks whether the
// meter is being destroyed.
constexpr TTimeout StopCheckInterval{0, 20'000};

// How long a meter that closes mid-message waits for the computer to read what
// it sent, and how often it looks.
constexpr std::chrono::seconds UnreadBytesWait{2};
constexpr std::chrono::microseconds UnreadBytesCheckInterval{100};

// "136-byte messages", for the message file's errors.
std::string MessagesOfTheirSize()
{
    return std::to_string(ReadingMessageSize) + "-byte messages";
}

} // namespace

struct TSimulatedMeter::TConnection {
    std::size_t Index = 0;
    std::unique_ptr<IMeterEnd> End;
    std::thread Thread;
    std::atomic<bool> Done{false};

    // The ways of answering a request that take more than one send; `message`
    // holds ReadingMessageSize bytes. False when the meter is being destroyed
    // between two pieces.
    bool SendInPieces(TSimulatedMeter &meter, const std::uint8_t *message);
    void SendWithExtraBytes(TSimulatedMeter &meter, const std::uint8_t *message);
    void CloseMidMessage(TSimulatedMeter &meter);
};

std::optional<TMeterBehaviour> ParseMeterBehaviour(const std::string &name)
{
    static const std::pair<const char *, TMeterBehaviour> names[] = {
        {"answer", TMeterBehaviour::Answer},       {"silent", TMeterBehaviour::Silent},
        {"pieces", TMeterBehaviour::Pieces},       {"short", TMeterBehaviour::StopShort},
        {"close", TMeterBehaviour::CloseMidMessage}, {"extra", TMeterBehaviour::ExtraBytes},
        {"refuse", TMeterBehaviour::Refuse},
    };
    for (const auto &[text, behaviour] : names)
        if (name == text)
            return behaviour;
    return std::nullopt;
}

std::vector<TMeterMessage> LoadMessageFile(const std::string &path)
{
    // Looked at before it is opened: opening a pipe would wait for a writer,
    // and a device such as /dev/zero never ends.
    const TFileFacts facts = FileFactsOf(path);
    if (facts.Kind == TFileKind::Folder)
        throw std::runtime_error("the message file " + path + " is a folder, not a file of " + MessagesOfTheirSize());
    if (facts.Kind == TFileKind::Other)
        throw std::runtime_error("the message file " + path + " is a device or a pipe, not a regular file");
    if (facts.Size > MaxMessageFileBytes)
        throw std::runtime_error("the message file " + path + " holds " + std::to_string(facts.Size) +
                                 " bytes; at most " + std::to_string(MaxMessageFileBytes) +
                                 " (a million messages) are served");
    const std::optional<std::string> read = ReadWholeFile(path);
    if (!read)
        throw std::runtime_error("cannot read the message file " + path);
    const std::string &bytes = *read;
    if (bytes.empty())
        throw std::runtime_error("the message file " + path + " is empty; it must hold " + MessagesOfTheirSize());
    if (bytes.size() % ReadingMessageSize != 0)
        throw std::runtime_error("the message file " + path + " holds " + std::to_string(bytes.size()) +
                                 " bytes, which is not a whole number of " + MessagesOfTheirSize());
    std::vector<TMeterMessage> messages(bytes.size() / ReadingMessageSize);
    for (std::size_t i = 0; i < messages.size(); ++i)
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i * ReadingMessageSize), ReadingMessageSize,
                    messages[i].begin());
    return messages;
}

TSimulatedMeter::TSimulatedMeter(TMeterOptions options) : FOptions(std::move(options)), FGenerator(FOptions.Seed)
{
    if (FOptions.Messages && FOptions.Messages->empty())
        throw std::runtime_error("the simulated meter was given no messages to serve");
}

TSimulatedMeter::~TSimulatedMeter()
{
    {
        std::lock_guard lock(FStopLock);
        FStopping = true;
    }
    FStopSignal.notify_all();
    if (FAcceptThread.joinable())
        FAcceptThread.join();
    std::lock_guard lock(FConnectionsLock);
    // Wakes a thread blocked in a send while its end stays valid until the
    // thread has ended.
    for (auto &connection : FConnections)
        connection->End->Wake();
    for (auto &connection : FConnections)
        connection->Thread.join();
}

TSocketHandle TSimulatedMeter::Connect()
{
    if (FOptions.Behaviour == TMeterBehaviour::Refuse) {
        std::lock_guard lock(FRecordLock);
        ++FRefused;
        return InvalidSocket;
    }
    TSocketHandle computerEnd = InvalidSocket;
    TSocketHandle meterEnd = InvalidSocket;
    if (!CreateSocketPair(computerEnd, meterEnd))
        return InvalidSocket;
    Start(SocketMeterEnd(TOwnedSocket(meterEnd)));
    return computerEnd;
}

std::uint16_t TSimulatedMeter::ListenTcp(std::uint16_t port)
{
    if (FListener.Valid())
        throw std::runtime_error("the simulated meter already listens");
    std::uint16_t boundPort = 0;
    std::string error;
    FListener.Reset(ListenLoopback(port, boundPort, error));
    if (!FListener.Valid())
        throw std::runtime_error("the simulated meter cannot listen: " + error);
    FAcceptThread = std::thread(&TSimulatedMeter::Accept, this);
    return boundPort;
}

void TSimulatedMeter::Accept()
{
    while (!FStopping) {
        if (WaitReadable(FListener.Get(), StopCheckInterval) == 0)
            continue;
        TOwnedSocket connection(AcceptConnection(FListener.Get()));
        if (!connection.Valid())
            continue;
        if (FOptions.Behaviour == TMeterBehaviour::Refuse) {
            // A TCP listener cannot refuse one client; closing at once is the
            // nearest a client can tell.
            std::lock_guard lock(FRecordLock);
            ++FRefused;
            continue;
        }
        Start(SocketMeterEnd(std::move(connection)));
    }
}

#ifndef _WIN32
std::string TSimulatedMeter::ServePseudoTerminal()
{
    if (FOptions.Behaviour == TMeterBehaviour::Refuse)
        throw std::runtime_error("a meter that refuses connections cannot serve a serial port");
    std::string terminalPath;
    Start(PseudoTerminalMeterEnd(terminalPath));
    return terminalPath;
}
#endif

void TSimulatedMeter::Start(std::unique_ptr<IMeterEnd> meterEnd)
{
    std::lock_guard lock(FConnectionsLock);
    // A long-running meter serves thousands of connections: let go of the
    // ones that have ended.
    for (auto it = FConnections.begin(); it != FConnections.end();) {
        if ((*it)->Done) {
            (*it)->Thread.join();
            it = FConnections.erase(it);
        } else {
            ++it;
        }
    }
    auto connection = std::make_unique<TConnection>();
    connection->Index = FConnectionCount++;
    connection->End = std::move(meterEnd);
    RecordEvent(TTrafficEvent::TKind::Connected, connection->Index);
    TConnection &served = *connection;
    FConnections.push_back(std::move(connection));
    served.Thread = std::thread(&TSimulatedMeter::Serve, this, std::ref(served));
}

void TSimulatedMeter::Serve(TConnection &connection)
{
    IMeterEnd &end = *connection.End;
    std::uint8_t bytes[256];
    bool open = true;
    while (open && !FStopping) {
        if (end.WaitReadable(StopCheckInterval) == 0)
            continue;
        const int received = end.Receive(bytes, sizeof bytes);
        if (received <= 0) {
            RecordEvent(TTrafficEvent::TKind::PeerClosed, connection.Index);
            break;
        }
        RecordEvent(TTrafficEvent::TKind::Received, connection.Index, bytes, static_cast<std::size_t>(received));
        for (int i = 0; i < received && open; ++i)
            if (bytes[i] == RequestByte)
                open = Answer(connection);
    }
    {
        std::lock_guard lock(FRecordLock);
        ++FEnded;
    }
    FRecordChanged.notify_all();
    connection.Done = true;
}

bool TSimulatedMeter::Answer(TConnection &connection)
{
    if (FOptions.Behaviour == TMeterBehaviour::Silent)
        return true;
    const std::optional<TMeterMessage> message = NextMessage();
    if (!message)
        return true;  // nothing left to serve: stay silent
    if (!SleepFor(FOptions.ReplyDelay))
        return false;

    const std::uint8_t *data = message->data();
    const std::size_t shortLength = std::min(FOptions.ShortLength, ReadingMessageSize);
    // A send that fails (the computer has gone) ends the answer, not the
    // connection: the read loop still records what the computer sent before.
    switch (FOptions.Behaviour) {
    case TMeterBehaviour::Answer:
        SendAll(connection, data, ReadingMessageSize);
        return true;
    case TMeterBehaviour::Pieces:
        return connection.SendInPieces(*this, data);
    case TMeterBehaviour::StopShort:
        SendAll(connection, data, shortLength);
        return true;
    case TMeterBehaviour::CloseMidMessage:
        SendAll(connection, data, shortLength);
        connection.CloseMidMessage(*this);
        return false;
    case TMeterBehaviour::ExtraBytes:
        connection.SendWithExtraBytes(*this, data);
        return true;
    case TMeterBehaviour::Silent:
    case TMeterBehaviour::Refuse:
        break;
    }
    return true;
}

bool TSimulatedMeter::TConnection::SendInPieces(TSimulatedMeter &meter, const std::uint8_t *message)
{
    std::size_t offset = 0;
    for (const std::size_t size : meter.FOptions.PieceSizes) {
        const std::size_t piece = std::min(size, ReadingMessageSize - offset);
        if (piece == 0)
            break;
        if (!meter.SendAll(*this, message + offset, piece))
            return true;
        offset += piece;
        if (offset < ReadingMessageSize && !meter.SleepFor(meter.FOptions.PieceGap))
            return false;
    }
    meter.SendAll(*this, message + offset, ReadingMessageSize - offset);
    return true;
}

void TSimulatedMeter::TConnection::CloseMidMessage(TSimulatedMeter &meter)
{
    // A socket keeps what was sent for its reader after the meter's close; a
    // terminal drops it. Give the computer the time to take the bytes (its
    // exchange pauses before it reads), so that it sees them, then the end.
    const auto giveUp = TMeterClock::now() + UnreadBytesWait;
    while (End->Unread() && TMeterClock::now() < giveUp)
        if (!meter.SleepFor(UnreadBytesCheckInterval))
            break;
    End->Close();
    meter.RecordEvent(TTrafficEvent::TKind::MeterClosed, Index);
}

void TSimulatedMeter::TConnection::SendWithExtraBytes(TSimulatedMeter &meter, const std::uint8_t *message)
{
    // The message and the first extra bytes leave in one send, as a meter that
    // runs on would send them; a large excess follows in blocks, so that a
    // meter being destroyed stops between them.
    constexpr std::size_t block = 4096;
    std::vector<std::uint8_t> answer(message, message + ReadingMessageSize);
    std::size_t left = meter.FOptions.ExtraLength;
    for (std::size_t i = 0; left > 0 && answer.size() < block; ++i, --left)
        answer.push_back(static_cast<std::uint8_t>('0' + i % 10));
    if (!meter.SendAll(*this, answer.data(), answer.size()))
        return;
    answer.resize(block);
    for (std::size_t i = 0; i < block; ++i)
        answer[i] = static_cast<std::uint8_t>('0' + i % 10);
    while (left > 0 && !meter.FStopping) {
        const std::size_t count = std::min(left, block);
        if (!meter.SendAll(*this, answer.data(), count))
            break;
        left -= count;
    }
}

bool TSimulatedMeter::SendAll(TConnection &connection, const std::uint8_t *data, std::size_t count)
{
    while (count > 0) {
        const auto began = TMeterClock::now();
        const int sent = connection.End->Send(data, static_cast<std::int32_t>(count));
        if (sent < 0)
            return false;
        if (sent == 0) {
            // The end takes nothing just now (a terminal that nobody reads):
            // wait, looking out for the meter's destruction.
            if (FStopping || connection.End->WaitWritable(StopCheckInterval) < 0)
                return false;
            continue;
        }
        RecordEvent(TTrafficEvent::TKind::Sent, connection.Index, data, static_cast<std::size_t>(sent), began);
        data += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

std::optional<TMeterMessage> TSimulatedMeter::NextMessage()
{
    std::lock_guard lock(FRecordLock);
    TMeterMessage message;
    if (FOptions.Messages) {
        if (FNextMessage == FOptions.Messages->size())
            return std::nullopt;
        message = (*FOptions.Messages)[FNextMessage++];
    } else {
        message = TReadingGenerator::Format(FGenerator.Next());
    }
    ++FServedCount;
    if (FOptions.Record)
        FServed.push_back(message);
    return message;
}

void TSimulatedMeter::RecordEvent(TTrafficEvent::TKind kind, std::size_t connection, const std::uint8_t *data,
                                  std::size_t count, std::optional<TMeterClock::time_point> began)
{
    const auto now = TMeterClock::now();
    if (!FOptions.Record)
        return;
    {
        std::lock_guard lock(FRecordLock);
        FTraffic.push_back({kind, connection, std::vector<std::uint8_t>(data, data + count), now, began.value_or(now)});
    }
    FRecordChanged.notify_all();
}

bool TSimulatedMeter::SleepFor(std::chrono::microseconds duration)
{
    std::unique_lock lock(FStopLock);
    if (duration > std::chrono::microseconds::zero())
        FStopSignal.wait_for(lock, duration, [this] { return FStopping.load(); });
    return !FStopping;
}

std::vector<TTrafficEvent> TSimulatedMeter::Traffic() const
{
    std::lock_guard lock(FRecordLock);
    return FTraffic;
}

std::vector<std::uint8_t> TSimulatedMeter::ReceivedBytes(std::size_t connection) const
{
    std::lock_guard lock(FRecordLock);
    std::vector<std::uint8_t> bytes;
    for (const TTrafficEvent &event : FTraffic)
        if (event.Kind == TTrafficEvent::TKind::Received && event.Connection == connection)
            bytes.insert(bytes.end(), event.Bytes.begin(), event.Bytes.end());
    return bytes;
}

std::vector<TMeterMessage> TSimulatedMeter::ServedMessages() const
{
    std::lock_guard lock(FRecordLock);
    return FServed;
}

bool TSimulatedMeter::WaitForEndedConnections(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FRecordLock);
    return FRecordChanged.wait_for(lock, timeout, [&] { return FEnded >= count; });
}

std::size_t TSimulatedMeter::ConnectionCount() const
{
    std::lock_guard lock(FConnectionsLock);
    return FConnectionCount;
}

std::size_t TSimulatedMeter::RefusedCount() const
{
    std::lock_guard lock(FRecordLock);
    return FRefused;
}

std::size_t TSimulatedMeter::MessagesServed() const
{
    std::lock_guard lock(FRecordLock);
    return FServedCount;
}

bool TSimulatedMeter::Exhausted() const
{
    std::lock_guard lock(FRecordLock);
    return FOptions.Messages && FNextMessage == FOptions.Messages->size();
}
