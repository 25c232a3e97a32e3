// SPDX-License-Identifier: Apache-2.0
// The simulated meter: a real peer that speaks the meter's wire protocol on the
// far end of a socket. It answers each request byte (0x14) with one
// reading message, in the manner its behaviour asks for, and records every byte
// it receives (requests, acknowledgements) and sends, with timestamps, so tests
// can check the computer's side of the protocol.
//
// Connections come from Connect() (a socketpair; on Windows a loopback TCP
// pair), from a loopback TCP listener (ListenTcp) or, on POSIX systems, from a
// pseudo-terminal that the program opens as a serial port
// (ServePseudoTerminal). Each connection is served by its own thread; the
// destructor shuts the connections down, joins every thread and closes every
// socket and terminal.
#pragma once

#include "sim/local_sockets.h"
#include "sim/reading_generator.h"
#include "platform/sockets/socket_io.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class IMeterEnd;

enum class TMeterBehaviour {
    Answer,           // the whole message in one send
    Silent,           // never answers (reads and records all the same)
    Pieces,           // the message in pieces (PieceSizes) with PieceGap between them
    StopShort,        // the first ShortLength bytes, then nothing; the connection stays open
    CloseMidMessage,  // the first ShortLength bytes, then the meter closes the connection
                      // (a pseudo-terminal: its master, so that the port disappears)
    ExtraBytes,       // the message followed by ExtraLength more bytes
    Refuse,           // no connection: Connect() fails, a TCP client is closed at once
};

// Parses "answer", "silent", "pieces", "short", "close", "extra", "refuse".
std::optional<TMeterBehaviour> ParseMeterBehaviour(const std::string &name);

struct TMeterOptions {
    TMeterBehaviour Behaviour = TMeterBehaviour::Answer;
    // From the request to the first byte of the answer.
    std::chrono::microseconds ReplyDelay{0};
    // Pieces: the sizes of the pieces in order; what they leave of the
    // message goes out as one last piece.
    std::vector<std::size_t> PieceSizes{40, 40};
    std::chrono::microseconds PieceGap{100};
    // StopShort and CloseMidMessage: the bytes sent before stopping.
    std::size_t ShortLength = 100;
    // ExtraBytes: the bytes sent after the message.
    std::size_t ExtraLength = 64;
    // Generator seed, used when Messages is empty.
    std::uint32_t Seed = 1;
    // When set, these messages are served one per request, once through, in
    // order, instead of generated ones. Once all are served the meter has
    // nothing more to say: it records further requests and stays silent, and
    // Exhausted() turns true.
    std::optional<std::vector<TMeterMessage>> Messages;
    // Keep the traffic record; a long-running meter switches it off.
    bool Record = true;
};

// The largest message file served: a million messages, all held in memory.
inline constexpr std::uint64_t MaxMessageFileBytes = 1'000'000 * ReadingMessageSize;

// Loads a file of raw messages, each exactly ReadingMessageSize bytes, back to back. Throws
// std::runtime_error naming the file when it is no regular file (a folder, a
// device, a pipe), cannot be read, is empty, is larger than
// MaxMessageFileBytes, or its size is not a multiple of the message size.
std::vector<TMeterMessage> LoadMessageFile(const std::string &path);

using TMeterClock = std::chrono::steady_clock;

struct TTrafficEvent {
    enum class TKind {
        Connected,   // a connection was handed out or accepted
        Received,    // Bytes came from the computer (one receive call)
        Sent,        // Bytes went to the computer (one send call)
        PeerClosed,  // the computer closed its end
        MeterClosed, // the meter closed the connection (CloseMidMessage)
    };
    TKind Kind;
    std::size_t Connection;  // 0, 1, ... in the order the connections began
    std::vector<std::uint8_t> Bytes;
    TMeterClock::time_point Time;  // when it happened; for a send or receive, when the call returned
    // When the call was made (the time before the send, for Sent; Time for the
    // others). A sent piece reached the computer between Began and Time,
    // however the meter's thread was held up around its send.
    TMeterClock::time_point Began;
};

class TSimulatedMeter {
public:
    // Throws std::runtime_error when Messages is set but empty.
    explicit TSimulatedMeter(TMeterOptions options = {});
    ~TSimulatedMeter();
    TSimulatedMeter(const TSimulatedMeter &) = delete;
    TSimulatedMeter &operator=(const TSimulatedMeter &) = delete;

    // A new connection to the meter: the computer's end of a connected stream
    // socket, which the caller owns and closes (CloseSocketHandle). The meter
    // serves the other end until the caller closes it or the meter is
    // destroyed. InvalidSocket when the behaviour is Refuse or no socket pair
    // could be made. Safe to call from any thread.
    TSocketHandle Connect();

    // Starts serving TCP connections on 127.0.0.1:port (0 picks a free port)
    // and returns the port. Throws std::runtime_error when it cannot listen or
    // already listens.
    std::uint16_t ListenTcp(std::uint16_t port = 0);

#ifndef _WIN32
    // Starts serving on a new pseudo-terminal and returns the path of its
    // terminal end ("/dev/pts/5"), which the program opens as a serial port,
    // once per reading cycle or for good. The terminal is one connection for
    // as long as the meter lives (or until the meter closes it). Throws
    // std::runtime_error when the system gives no pseudo-terminal, or when the
    // behaviour is Refuse (a serial port has no connection to refuse).
    std::string ServePseudoTerminal();
#endif

    // What happened so far, in order.
    std::vector<TTrafficEvent> Traffic() const;
    // Everything the meter received on one connection, in order.
    std::vector<std::uint8_t> ReceivedBytes(std::size_t connection) const;
    // The messages handed out so far (whole, before any cutting short).
    std::vector<TMeterMessage> ServedMessages() const;

    // Waits until `count` connections have ended (the computer closed its end
    // or the meter closed it) and their last bytes are recorded. True when they
    // have within the timeout.
    bool WaitForEndedConnections(std::size_t count, std::chrono::milliseconds timeout) const;

    std::size_t ConnectionCount() const;
    std::size_t RefusedCount() const;
    std::size_t MessagesServed() const;
    // True once every message of Messages has been served; never true for
    // generated readings.
    bool Exhausted() const;

private:
    struct TConnection;

    void Start(std::unique_ptr<IMeterEnd> meterEnd);
    void Serve(TConnection &connection);
    void Accept();
    // Answers one request; false when the meter has closed the connection or
    // is being destroyed.
    bool Answer(TConnection &connection);
    bool SendAll(TConnection &connection, const std::uint8_t *data, std::size_t count);
    std::optional<TMeterMessage> NextMessage();
    // `began`: when the call began, if not just now.
    void RecordEvent(TTrafficEvent::TKind kind, std::size_t connection, const std::uint8_t *data = nullptr,
                     std::size_t count = 0, std::optional<TMeterClock::time_point> began = std::nullopt);
    // Sleeps, unless the meter is being destroyed; false then.
    bool SleepFor(std::chrono::microseconds duration);

    const TMeterOptions FOptions;
    TReadingGenerator FGenerator;
    std::size_t FNextMessage = 0;  // index into Messages

    std::atomic<bool> FStopping{false};
    std::mutex FStopLock;
    std::condition_variable FStopSignal;

    mutable std::mutex FRecordLock;
    mutable std::condition_variable FRecordChanged;
    std::vector<TTrafficEvent> FTraffic;
    std::vector<TMeterMessage> FServed;
    std::size_t FServedCount = 0;
    std::size_t FEnded = 0;
    std::size_t FRefused = 0;

    mutable std::mutex FConnectionsLock;
    std::list<std::unique_ptr<TConnection>> FConnections;
    std::size_t FConnectionCount = 0;

    TOwnedSocket FListener;
    std::thread FAcceptThread;
};
