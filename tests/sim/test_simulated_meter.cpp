// SPDX-License-Identifier: Apache-2.0
// The simulated meter as a peer on the wire (over a socket pair, over TCP and
// over a pseudo-terminal), its message file and generator, and the socket
// wrapper it is built on.
#include "sim/local_sockets.h"
#include "sim/reading_generator.h"
#include "sim/simulated_meter.h"
#include "platform/serial/serial_port.h"
#include "platform/sockets/socket_io.h"
#include "platform/sockets/socket_stream.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/sim_meter_io.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/select.h>
#include <unistd.h>
#endif

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// A connection to the meter, over a socket pair or over its TCP port.
TOwnedSocket Dial(TSimulatedMeter &meter, bool viaTcp)
{
    if (!viaTcp)
        return TOwnedSocket(meter.Connect());
    std::string error;
    TOwnedSocket socket(ConnectTcp("127.0.0.1", meter.ListenTcp(), error));
    EXPECT_TRUE(socket.Valid()) << error;
    return socket;
}

enum class TTransport { SocketPair, Tcp, PseudoTerminal };

const char *NameOf(TTransport transport)
{
    return transport == TTransport::SocketPair ? "over a socket pair"
           : transport == TTransport::Tcp      ? "over TCP"
                                               : "over a pseudo-terminal";
}

std::vector<TTransport> Transports()
{
#ifdef _WIN32
    return {TTransport::SocketPair, TTransport::Tcp};
#else
    return {TTransport::SocketPair, TTransport::Tcp, TTransport::PseudoTerminal};
#endif
}

// A connection to the meter as the program's stream: a socket, or the
// terminal end of the meter's pseudo-terminal opened as a serial port.
std::unique_ptr<IByteStream> DialStream(TSimulatedMeter &meter, TTransport transport)
{
#ifndef _WIN32
    if (transport == TTransport::PseudoTerminal) {
        TStreamOpening opening = OpenSerialPort({meter.ServePseudoTerminal()});
        EXPECT_TRUE(opening.Stream) << opening.Failure;
        return std::move(opening.Stream);
    }
#endif
    TOwnedSocket socket = Dial(meter, transport == TTransport::Tcp);
    if (!socket.Valid())
        return nullptr;
    return std::make_unique<TSocketStream>(socket.Release(), CloseSocketHandle);
}

TMeterMessage MessageOf(char fill)
{
    TMeterMessage message;
    message.fill(static_cast<std::uint8_t>(fill));
    return message;
}

class TTempFile {
public:
    explicit TTempFile(const std::string &content)
        : FPath(std::filesystem::temp_directory_path() /
                ("sim_meter_test_" + std::to_string(TClock::now().time_since_epoch().count()) + ".bin"))
    {
        std::ofstream(FPath, std::ios::binary) << content;
    }
    ~TTempFile() { std::filesystem::remove(FPath); }
    std::string Path() const { return FPath.string(); }

private:
    std::filesystem::path FPath;
};

// ---- The message file ----

TEST(MessageFile, RejectsFilesThatAreNotWholeMessagesWithAClearReason)
{
    for (const std::size_t size : {std::size_t{0}, ReadingMessageSize - 1, ReadingMessageSize + 1,
                                   3 * ReadingMessageSize - 1}) {
        SCOPED_TRACE(size);
        const std::string reason = size == 0 ? "is empty" : std::to_string(size) + " bytes";
        TTempFile file(std::string(size, 'x'));
        try {
            LoadMessageFile(file.Path());
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error &error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(LoadMessageFile("/nonexistent/sim_meter_messages.bin"), std::runtime_error);
}

TEST(MessageFile, TakesOnlyARegularFileOfAtMostAMillionMessagesAndNamesAnyOther)
{
    TScratchFolder folder("message-file-test");
    std::filesystem::create_directory(folder.Path() / "folder");
    // One message over the limit, as a sparse file that takes no room.
    WriteFileContents(folder.File("huge.bin"), "");
    std::filesystem::resize_file(folder.File("huge.bin"), MaxMessageFileBytes + ReadingMessageSize);
    std::vector<std::pair<std::string, std::string>> cases = {
        {folder.File("folder"), "folder"},
        {folder.File("huge.bin"), std::to_string(MaxMessageFileBytes + ReadingMessageSize) + " bytes"},
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo(folder.File("fifo").c_str(), 0600), 0);
    cases.emplace_back(folder.File("fifo"), "pipe");  // opening it would wait for a writer
    cases.emplace_back("/dev/zero", "device");        // reading it would never end
#endif
    for (const auto &[path, reason] : cases) {
        SCOPED_TRACE(path);
        try {
            LoadMessageFile(path);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error &error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
        }
    }
}

TEST(MessageFile, LoadsEveryRecordInOrder)
{
    TTempFile file(std::string(ReadingMessageSize, 'a') + std::string(ReadingMessageSize, 'b') +
                   std::string(ReadingMessageSize, 'c'));
    const std::vector<TMeterMessage> messages = LoadMessageFile(file.Path());
    EXPECT_EQ(messages, (std::vector<TMeterMessage>{MessageOf('a'), MessageOf('b'), MessageOf('c')}));
}

// ---- The generator ----

TEST(ReadingGenerator, WritesPlausibleValuesInTheMeterMessageLayout)
{
    TReadingGenerator generator(7);
    std::string serial;
    for (int i = 0; i < 500; ++i) {
        const TGeneratedReading r = generator.Next();
        EXPECT_GE(r.Moisture, 8);
        EXPECT_LE(r.Moisture, 30);
        EXPECT_GE(r.Temperature, 5);
        EXPECT_LE(r.Temperature, 40);
        for (const double content : {r.Protein, r.Oil, r.Water, r.Starch}) {
            EXPECT_GT(content, 0);
            EXPECT_LT(content, 100);
        }
        EXPECT_EQ(r.Serial.size(), 6u);
        EXPECT_TRUE(serial.empty() || r.Serial == serial) << "one meter, one serial number";
        serial = r.Serial;
        EXPECT_LE(r.Range.size(), 4u);

        const TMeterMessage message = TReadingGenerator::Format(r);
        const std::string text(message.begin(), std::find(message.begin(), message.end(), 0));
        EXPECT_TRUE(std::all_of(message.begin() + static_cast<std::ptrdiff_t>(text.size()), message.end(),
                                [](std::uint8_t b) { return b == 0; }));
        // The first byte gives way to the acknowledgement; it must not be a colon.
        EXPECT_NE(text[0], ':');

        std::vector<std::string> lines;
        for (std::size_t from = 0, end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
            lines.push_back(text.substr(from, end - from));
        ASSERT_EQ(lines.size(), 9u) << text;
        const std::string values[] = {r.Serial, r.Range, "", "", r.IR[0], r.IR[1], r.IR[2], r.IR[3]};
        for (std::size_t k = 0; k < 8; ++k) {
            ASSERT_EQ(lines[k].rfind("x:", 0), 0u) << lines[k];
            if (k == 2 || k == 3) {
                const double expected = k == 2 ? r.Moisture : r.Temperature;
                EXPECT_DOUBLE_EQ(std::stod(lines[k].substr(2)), expected);
                EXPECT_NE(lines[k].find('.'), std::string::npos) << "one decimal, '.' as the mark";
            } else {
                EXPECT_EQ(lines[k].substr(2), values[k]);
                EXPECT_LE(values[k].size(), 7u);
            }
        }
        EXPECT_EQ(lines[8][0], 'B');
        EXPECT_EQ(std::count(lines[8].begin(), lines[8].end(), '%'), 4) << lines[8];
        EXPECT_DOUBLE_EQ(std::stod(lines[8].substr(1)), r.Protein);
        EXPECT_DOUBLE_EQ(std::stod(lines[8].substr(lines[8].find('T') + 1)), r.Oil);
        EXPECT_DOUBLE_EQ(std::stod(lines[8].substr(lines[8].find('W') + 1)), r.Water);
        EXPECT_DOUBLE_EQ(std::stod(lines[8].substr(lines[8].find('S') + 1)), r.Starch);
    }
}

// ---- The meter on the wire ----

struct TBehaviourCase {
    const char *Name;
    TMeterBehaviour Behaviour;
    std::size_t BytesAnswered;
    bool MeterCloses;
};

TEST(SimulatedMeter, AnswersARequestAsItsBehaviourSays)
{
    const TBehaviourCase cases[] = {
        {"answer", TMeterBehaviour::Answer, ReadingMessageSize, false},
        {"silent", TMeterBehaviour::Silent, 0, false},
        {"pieces", TMeterBehaviour::Pieces, ReadingMessageSize, false},
        {"stop short", TMeterBehaviour::StopShort, 100, false},
        {"close mid-message", TMeterBehaviour::CloseMidMessage, 100, true},
        {"extra bytes", TMeterBehaviour::ExtraBytes, ReadingMessageSize + 64, false},
    };
    for (const TTransport transport : Transports()) {
        for (const TBehaviourCase &c : cases) {
            SCOPED_TRACE(std::string(c.Name) + " " + NameOf(transport));
            TMeterOptions options;
            options.Behaviour = c.Behaviour;
            options.PieceSizes = {40, 40};
            options.PieceGap = 2ms;
            TSimulatedMeter meter(options);
            const std::unique_ptr<IByteStream> stream = DialStream(meter, transport);
            ASSERT_TRUE(stream);
            ASSERT_EQ(stream->Send(Request, 1), 1);

            // A socket ends when the meter closes it; a terminal whose master
            // has gone fails to read.
            const TDrained answer = DrainStream(*stream, 150ms);
            EXPECT_EQ(answer.Bytes.size(), c.BytesAnswered);
            EXPECT_EQ(answer.Closed || answer.Failed, c.MeterCloses);
            if (c.BytesAnswered > 0) {
                const TMeterMessage served = meter.ServedMessages().at(0);
                const std::size_t common = std::min(answer.Bytes.size(), ReadingMessageSize);
                EXPECT_TRUE(std::equal(answer.Bytes.begin(), answer.Bytes.begin() + static_cast<std::ptrdiff_t>(common),
                                       served.begin()));
            }
            if (c.Behaviour == TMeterBehaviour::Pieces) {
                std::vector<std::size_t> sizes;
                std::vector<TMeterClock::time_point> times;
                for (const TTrafficEvent &event : meter.Traffic())
                    if (event.Kind == TTrafficEvent::TKind::Sent) {
                        sizes.push_back(event.Bytes.size());
                        times.push_back(event.Time);
                    }
                EXPECT_EQ(sizes, (std::vector<std::size_t>{40, 40, 56}));
                for (std::size_t i = 1; i < times.size(); ++i)
                    EXPECT_GE(times[i] - times[i - 1], 2ms);
            }
        }
    }
}

TEST(SimulatedMeter, RecordsRequestsAndAcknowledgementsWithTheirTimes)
{
    TSimulatedMeter meter;
    TOwnedSocket socket(meter.Connect());
    const auto beforeRequest = TClock::now();
    ASSERT_EQ(SendBytes(socket.Get(), Request, 1), 1);
    ASSERT_EQ(DrainSocket(socket.Get(), 5000ms, ReadingMessageSize).Bytes.size(), ReadingMessageSize);
    const auto answerIn = TClock::now();
    ASSERT_EQ(SendBytes(socket.Get(), Ack, 1), 1);
    socket.Reset();
    ASSERT_TRUE(meter.WaitForEndedConnections(1, 5s));

    EXPECT_EQ(meter.ReceivedBytes(0), (TBytes{RequestByte, AckByte}));
    using K = TTrafficEvent::TKind;
    std::vector<K> kinds;
    const std::vector<TTrafficEvent> traffic = meter.Traffic();
    for (const TTrafficEvent &event : traffic)
        kinds.push_back(event.Kind);
    ASSERT_EQ(kinds, (std::vector<K>{K::Connected, K::Received, K::Sent, K::Received, K::PeerClosed}));
    EXPECT_TRUE(std::is_sorted(traffic.begin(), traffic.end(),
                               [](const TTrafficEvent &a, const TTrafficEvent &b) { return a.Time < b.Time; }));
    // Each time is when it happened: the request came in before its answer
    // arrived here, the acknowledgement after.
    EXPECT_GE(traffic[1].Time, beforeRequest);
    EXPECT_LE(traffic[1].Time, answerIn);
    EXPECT_GE(traffic[3].Time, answerIn);
}

TEST(SimulatedMeter, AnswersEveryRequestOfAConnectionWithTheNextReading)
{
    TSimulatedMeter meter;
    TOwnedSocket socket(meter.Connect());
    std::vector<TBytes> answers;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(SendBytes(socket.Get(), Request, 1), 1);
        answers.push_back(DrainSocket(socket.Get(), 5000ms, ReadingMessageSize).Bytes);
        ASSERT_EQ(answers.back().size(), ReadingMessageSize);
    }
    EXPECT_EQ(meter.MessagesServed(), 3u);
    EXPECT_NE(answers[0], answers[1]);
    EXPECT_NE(answers[1], answers[2]);
    EXPECT_FALSE(meter.Exhausted());
}

TEST(SimulatedMeter, ServesFileMessagesOnceThroughAndThenStaysSilent)
{
    TTempFile file(std::string(ReadingMessageSize, 'a') + std::string(ReadingMessageSize, 'b'));
    TMeterOptions options;
    options.Messages = LoadMessageFile(file.Path());
    TSimulatedMeter meter(options);

    const char expected[] = {'a', 'b'};
    for (const char fill : expected) {
        EXPECT_FALSE(meter.Exhausted());
        TOwnedSocket socket(meter.Connect());
        ASSERT_EQ(SendBytes(socket.Get(), Request, 1), 1);
        EXPECT_EQ(DrainSocket(socket.Get(), 5000ms, ReadingMessageSize).Bytes,
                  TBytes(ReadingMessageSize, static_cast<std::uint8_t>(fill)));
    }
    EXPECT_TRUE(meter.Exhausted());

    TOwnedSocket late(meter.Connect());
    ASSERT_EQ(SendBytes(late.Get(), Request, 1), 1);
    const TDrained nothing = DrainSocket(late.Get(), 100ms);
    EXPECT_TRUE(nothing.Bytes.empty());
    EXPECT_FALSE(nothing.Closed);
    EXPECT_EQ(meter.MessagesServed(), 2u);
    late.Reset();
    ASSERT_TRUE(meter.WaitForEndedConnections(3, 5s));
    EXPECT_EQ(meter.ReceivedBytes(2), TBytes{RequestByte}) << "the unanswered request is on record";

    options.Messages = std::vector<TMeterMessage>{};
    EXPECT_THROW(TSimulatedMeter{options}, std::runtime_error);
}

TEST(SimulatedMeter, RefusesConnectionsOverThePairAndClosesTcpClientsAtOnce)
{
    TMeterOptions options;
    options.Behaviour = TMeterBehaviour::Refuse;
    TSimulatedMeter meter(options);
    EXPECT_EQ(meter.Connect(), InvalidSocket);
    EXPECT_EQ(meter.RefusedCount(), 1u);

    TOwnedSocket client = Dial(meter, true);
    ASSERT_TRUE(client.Valid());
    const TDrained drained = DrainSocket(client.Get(), 2000ms);
    EXPECT_TRUE(drained.Bytes.empty());
    EXPECT_TRUE(drained.Closed);
    EXPECT_EQ(meter.RefusedCount(), 2u);
    EXPECT_EQ(meter.ConnectionCount(), 0u);
}

TEST(SimulatedMeter, DestructionEndsConnectionsThatAreWaitingOrBlockedPromptly)
{
    TMeterOptions longDelay;
    longDelay.ReplyDelay = 30s;
    TMeterOptions floods;  // far more than any socket buffer holds, never read
    floods.Behaviour = TMeterBehaviour::ExtraBytes;
    floods.ExtraLength = 32 * 1024 * 1024;
    for (const TMeterOptions &options : {longDelay, floods}) {
        auto meter = std::make_unique<TSimulatedMeter>(options);
        std::vector<std::unique_ptr<IByteStream>> streams;
        for (const TTransport transport : Transports()) {
            streams.push_back(DialStream(*meter, transport));
            ASSERT_TRUE(streams.back()) << NameOf(transport);
            ASSERT_EQ(streams.back()->Send(Request, 1), 1);
        }
        // Every connection has taken up its request: each is in its reply
        // pause, or has begun the flood that fills what nobody reads.
        ASSERT_TRUE(WaitUntil([&] { return meter->MessagesServed() == streams.size(); }));
        // A flood ends up blocked in a send once the kernel's buffers are full;
        // that is the kernel's own time (a few milliseconds for a loopback TCP
        // buffer of some megabytes), and nothing marks it. A meter destroyed
        // before then stops between two blocks by itself, and a shutdown that
        // does not wake a blocked send would go unseen.
        if (options.Behaviour == TMeterBehaviour::ExtraBytes)
            std::this_thread::sleep_for(50ms);
        const auto start = TClock::now();
        meter.reset();
        EXPECT_LT(TClock::now() - start, 3s);
    }
}

#ifndef _WIN32
TEST(SimulatedMeter, KeepsServingItsPseudoTerminalAsThePortIsOpenedAndClosedEachCycle)
{
    TMeterOptions options;
    options.Messages = std::vector<TMeterMessage>{MessageOf('a'), MessageOf('b'), MessageOf('c')};
    TSimulatedMeter meter(options);
    const std::string path = meter.ServePseudoTerminal();

    // One cycle as the program runs it: open, request, answer, acknowledge, close.
    const auto cycle = [&] {
        TStreamOpening opening = OpenSerialPort({path});
        EXPECT_TRUE(opening.Stream) << opening.Failure;
        if (!opening.Stream)
            return TDrained{};
        EXPECT_EQ(opening.Stream->Send(Request, 1), 1);
        TDrained answer = DrainStream(*opening.Stream, 150ms, ReadingMessageSize);
        EXPECT_EQ(opening.Stream->Send(Ack, 1), 1);
        return answer;
    };
    for (const char fill : {'a', 'b', 'c'}) {
        SCOPED_TRACE(fill);
        EXPECT_FALSE(meter.Exhausted());
        const TDrained answer = cycle();
        EXPECT_EQ(answer.Bytes, TBytes(ReadingMessageSize, static_cast<std::uint8_t>(fill)));
        EXPECT_FALSE(answer.Closed || answer.Failed);
    }
    EXPECT_TRUE(meter.Exhausted());
    const TDrained late = cycle();
    EXPECT_TRUE(late.Bytes.empty());
    EXPECT_FALSE(late.Closed || late.Failed) << "an exhausted meter stays silent, the port stays";

    // One connection throughout, which the program's closing never ended.
    EXPECT_EQ(meter.ConnectionCount(), 1u);
    EXPECT_EQ(meter.MessagesServed(), 3u);
    ASSERT_TRUE(WaitUntil([&] { return meter.ReceivedBytes(0).size() == 8; }));
    EXPECT_EQ(meter.ReceivedBytes(0), (TBytes{RequestByte, AckByte, RequestByte, AckByte, RequestByte, AckByte,
                                              RequestByte, AckByte}));
    for (const TTrafficEvent &event : meter.Traffic())
        EXPECT_NE(event.Kind, TTrafficEvent::TKind::PeerClosed);

    options.Behaviour = TMeterBehaviour::Refuse;
    TSimulatedMeter refusing(options);
    EXPECT_THROW(refusing.ServePseudoTerminal(), std::runtime_error);
}
#endif

// ---- The socket wrapper ----

TEST(SocketIo, WaitsTimeOutAfterSecondsPlusMicrosecondsAndReportReadiness)
{
    TSocketHandle a = InvalidSocket, b = InvalidSocket;
    ASSERT_TRUE(CreateSocketPair(a, b));
    TOwnedSocket first(a), second(b);

    const struct {
        TTimeout Timeout;
        std::chrono::microseconds AtLeast, Below;
    } quiet[] = {{{0, 500}, 500us, 100ms}, {{0, 150'000}, 150ms, 500ms}, {{0, 0}, 0us, 50ms}};
    for (const auto &c : quiet) {
        SCOPED_TRACE(c.Timeout.Microseconds);
        const auto start = TClock::now();
        EXPECT_EQ(WaitReadable(first.Get(), c.Timeout), 0);
        const auto elapsed = TClock::now() - start;
        EXPECT_GE(elapsed, c.AtLeast);
        EXPECT_LT(elapsed, c.Below);
    }
    EXPECT_EQ(WaitWritable(first.Get(), {0, 500}), 1);
    ASSERT_EQ(SendBytes(second.Get(), Request, 1), 1);
    EXPECT_EQ(WaitReadable(first.Get(), {1, 0}), 1);

    // A closed peer: readable (the end of the stream), and a send fails
    // instead of raising SIGPIPE.
    second.Reset();
    std::uint8_t byte = 0;
    EXPECT_EQ(ReceiveBytes(first.Get(), &byte, 1), 1);
    EXPECT_EQ(WaitReadable(first.Get(), {1, 0}), 1);
    EXPECT_EQ(ReceiveBytes(first.Get(), &byte, 1), 0);
    int result = 0;
    for (int i = 0; i < 3 && result != -1; ++i)  // TCP may take one send before it knows
        result = SendBytes(first.Get(), Request, 1);
    EXPECT_EQ(result, -1);

    EXPECT_EQ(WaitReadable(InvalidSocket, {0, 500}), -1);
    EXPECT_EQ(WaitWritable(InvalidSocket, {0, 500}), -1);
}

TEST(SocketIo, WaitsOnDescriptorsBeyondTheSelectLimit)
{
#ifdef _WIN32
    GTEST_SKIP() << "Winsock sets hold sockets, not descriptor numbers";
#else
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t wanted = FD_SETSIZE + 16;
    if (limit.rlim_cur < wanted) {
        if (limit.rlim_max < wanted)
            GTEST_SKIP() << "the descriptor limit is too low";
        limit.rlim_cur = wanted;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    }
    TSocketHandle a = InvalidSocket, b = InvalidSocket;
    ASSERT_TRUE(CreateSocketPair(a, b));
    TOwnedSocket low(a), second(b);
    TOwnedSocket high(dup2(low.Get(), FD_SETSIZE + 8));
    ASSERT_TRUE(high.Valid());

    EXPECT_EQ(WaitReadable(high.Get(), {0, 500}), 0);
    EXPECT_EQ(WaitWritable(high.Get(), {0, 500}), 1);
    ASSERT_EQ(SendBytes(second.Get(), Request, 1), 1);
    EXPECT_EQ(WaitReadable(high.Get(), {1, 0}), 1);
#endif
}

} // namespace
