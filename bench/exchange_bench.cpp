// SPDX-License-Identifier: Apache-2.0
// The reading exchange's own overhead: a full exchange with the simulated
// meter, its two fixed 200 ms pauses scaled to zero, against a bare request and
// message-sized answer on the same kind of connection to the same meter.
#include "bench/median_reporter.h"
#include "link/meter_link.h"
#include "sim/local_sockets.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "platform/serial/serial_port.h"
#include "platform/sockets/socket_stream.h"

#include <benchmark/benchmark.h>

#include <cstdio>

#ifndef _WIN32
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

TMeterOptions QuietMeter()
{
    TMeterOptions options;
    options.Record = false;  // thousands of exchanges: keep no record
    return options;
}

// A stream to the meter: over a socket pair, or (POSIX) over a pseudo-terminal
// opened as a serial port.
std::unique_ptr<IByteStream> OpenStream(TSimulatedMeter &meter, bool serial)
{
#ifndef _WIN32
    if (serial)
        return OpenSerialPort({meter.ServePseudoTerminal(), 9600}).Stream;
#endif
    (void)serial;
    return std::make_unique<TSocketStream>(meter.Connect(), CloseSocketHandle);
}

#ifndef _WIN32
struct TOwnedDescriptor {
    int Descriptor = -1;
    ~TOwnedDescriptor()
    {
        if (Descriptor >= 0)
            ::close(Descriptor);
    }
};
#endif

// The system's own calls on the connection, without a stream.
struct TBareCalls {
    TSocketHandle Handle;
    bool Serial;
    int Send(const std::uint8_t *data, std::int32_t count) const
    {
#ifndef _WIN32
        if (Serial)
            return static_cast<int>(::write(Handle, data, static_cast<std::size_t>(count)));
#endif
        return SendBytes(Handle, data, count);
    }
    int Receive(std::uint8_t *data, std::int32_t count) const
    {
#ifndef _WIN32
        if (Serial)
            return static_cast<int>(::read(Handle, data, static_cast<std::size_t>(count)));
#endif
        return ReceiveBytes(Handle, data, count);
    }
};

// Baseline: one request byte out, one message back, read as they come, with
// the system's bare calls on the same kind of connection to the same meter.
void BM_BareRoundTrip(benchmark::State &state, bool serial)
{
    TSimulatedMeter meter(QuietMeter());
    TOwnedSocket socket;
    TBareCalls bare{InvalidSocket, serial};
#ifndef _WIN32
    // The terminal opened blocking and raw, as a socket is blocking.
    TOwnedDescriptor terminal;
    if (serial) {
        terminal.Descriptor = ::open(meter.ServePseudoTerminal().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (terminal.Descriptor < 0 || tcgetattr(terminal.Descriptor, &settings) != 0) {
            state.SkipWithError("no terminal");
            return;
        }
        cfmakeraw(&settings);
        tcsetattr(terminal.Descriptor, TCSANOW, &settings);
        bare.Handle = terminal.Descriptor;
    }
#endif
    if (!serial) {
        socket.Reset(meter.Connect());
        bare.Handle = socket.Get();
    }
    std::uint8_t buffer[ReceiveBufferSize];
    for (auto _ : state) {
        buffer[0] = RequestByte;
        if (bare.Send(buffer, 1) != 1) {
            state.SkipWithError("send failed");
            break;
        }
        std::size_t received = 0;
        while (received < ReadingMessageSize) {
            const int piece =
                bare.Receive(buffer + received, static_cast<std::int32_t>(ReadingMessageSize - received));
            if (piece <= 0)
                break;
            received += static_cast<std::size_t>(piece);
        }
        if (received != ReadingMessageSize) {
            state.SkipWithError("short answer");
            break;
        }
        benchmark::DoNotOptimize(buffer);
    }
}

void BM_ExchangeReading(benchmark::State &state, bool serial)
{
    TPauseScaleGuard noPauses(0);
    TSimulatedMeter meter(QuietMeter());
    TMeterLink link(TMeterWay{}, [] {});
    link.UseStream(OpenStream(meter, serial));
    for (auto _ : state) {
        if (!link.ExchangeReading(ReadingMessageSize)) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(link.Buffer());
    }
}

BENCHMARK_CAPTURE(BM_BareRoundTrip, Socket, false)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExchangeReading, Socket, false)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
#ifndef _WIN32
BENCHMARK_CAPTURE(BM_BareRoundTrip, Pty, true)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExchangeReading, Pty, true)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
#endif

} // namespace

int main(int argc, char **argv)
{
    const TMedianReporter reporter = RunBenchmarks(argc, argv);
    for (const char *route : {"Socket", "Pty"}) {
        double exchange = 0, baseline = 0;
        const std::string name = route;
        if (MedianPair(reporter.Medians, "BM_ExchangeReading/" + name, "BM_BareRoundTrip/" + name, exchange, baseline))
            std::printf("\n%s: exchange without pauses: median %.1f us = %.2f x the bare round trip (%.1f us)\n",
                        route, exchange, exchange / baseline, baseline);
    }
    return 0;
}
