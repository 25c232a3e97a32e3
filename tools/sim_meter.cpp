// SPDX-License-Identifier: Apache-2.0
// sim_meter: a simulated meter on a loopback TCP port, for developers and for
// the program's --meter tcp:HOST:PORT, or on a new pseudo-terminal for its
// --meter serial:PATH. Runs until interrupted (Ctrl+C).
#include "app/option_reader.h"
#include "sim/simulated_meter.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnSignal(int) { interrupted = true; }

void PrintUsage(std::ostream &out)
{
    out << "usage: sim_meter [--port N | --pty] [--behaviour NAME] [--file PATH] [--seed N]\n"
           "                 [--delay-ms N] [--pieces N,N,...] [--gap-us N] [--short N] [--extra N]\n"
           "Serves one "
        << ReadingMessageSize
        << "-byte reading message per request byte on 127.0.0.1 or on a pseudo-terminal.\n"
           "  --port N          port to listen on (default 0: a free port, printed at start)\n"
           "  --pty             serve on a new pseudo-terminal instead (not on Windows); its path,\n"
           "                    printed at start, is the serial port to open\n"
           "  --behaviour NAME  answer (default), silent, pieces, short, close, extra, refuse\n"
           "  --file PATH       serve the raw "
        << ReadingMessageSize
        << "-byte messages of this file, once through;\n"
           "                    afterwards the meter stays silent (default: generated readings)\n"
           "  --seed N          seed of the generated readings (default 1)\n"
           "  --delay-ms N      time from request to answer (default 50)\n"
           "  --pieces N,N,...  piece sizes for 'pieces' (default 40,40)\n"
           "  --gap-us N        gap between pieces in microseconds (default 100)\n"
           "  --short N         bytes sent by 'short' and 'close' (default 100)\n"
           "  --extra N         bytes sent after the message by 'extra' (default 64)\n";
}

unsigned long ParseNumber(const std::string &option, const std::string &text, unsigned long maximum)
{
    const auto value = WholeNumber(text, 0, maximum);
    if (!value)
        throw ECommandLineError(option + " wants a whole number from 0 to " + std::to_string(maximum) + ", not '" +
                                text + "'");
    return *value;
}

// What the command line asks for.
struct TSettings {
    TMeterOptions Meter;
    std::uint16_t Port = 0;
    bool PortGiven = false;
    bool PseudoTerminal = false;
    std::string File;
    bool Help = false;
};

TSettings Defaults()
{
    TSettings settings;
    settings.Meter.Record = false;  // runs for hours: keep no traffic record
    settings.Meter.ReplyDelay = std::chrono::milliseconds(50);
    return settings;
}

std::vector<std::size_t> ParsePieceSizes(const std::string &option, const std::string &value)
{
    std::vector<std::size_t> sizes;
    std::istringstream list(value);
    for (std::string size; std::getline(list, size, ',');)
        sizes.push_back(ParseNumber(option, size, ReadingMessageSize));
    return sizes;
}

// Takes the reader's option and its value; throws ECommandLineError for an
// unknown option or a bad or missing value.
void ApplyOption(TSettings &settings, TOptionReader &reader)
{
    TMeterOptions &meter = settings.Meter;
    const std::string &option = reader.Name();
    if (option == "--port") {
        settings.Port = static_cast<std::uint16_t>(ParseNumber(option, reader.Value(), 65535));
        settings.PortGiven = true;
    } else if (option == "--pty") {
        settings.PseudoTerminal = true;
    } else if (option == "--behaviour") {
        const std::string value = reader.Value();
        const auto behaviour = ParseMeterBehaviour(value);
        if (!behaviour)
            throw ECommandLineError("unknown behaviour '" + value + "'");
        meter.Behaviour = *behaviour;
    } else if (option == "--file") {
        settings.File = reader.Value();
    } else if (option == "--seed") {
        meter.Seed = static_cast<std::uint32_t>(ParseNumber(option, reader.Value(), 0xFFFFFFFFul));
    } else if (option == "--delay-ms") {
        meter.ReplyDelay = std::chrono::milliseconds(ParseNumber(option, reader.Value(), 60'000));
    } else if (option == "--gap-us") {
        meter.PieceGap = std::chrono::microseconds(ParseNumber(option, reader.Value(), 60'000'000));
    } else if (option == "--short") {
        meter.ShortLength = ParseNumber(option, reader.Value(), ReadingMessageSize);
    } else if (option == "--extra") {
        meter.ExtraLength = ParseNumber(option, reader.Value(), 1'000'000);
    } else if (option == "--pieces") {
        meter.PieceSizes = ParsePieceSizes(option, reader.Value());
    } else {
        throw ECommandLineError("unknown option " + option);
    }
}

// Reads the command line and loads the message file it names; throws on
// anything it cannot use. Stops at --help.
TSettings ParseCommandLine(const std::vector<std::string> &args)
{
    TSettings settings = Defaults();
    TOptionReader reader(args);
    while (reader.Next()) {
        if (reader.Arg() == "-h" || reader.Name() == "--help") {
            settings.Help = true;
            return settings;
        }
        ApplyOption(settings, reader);
    }
    if (settings.PseudoTerminal && settings.PortGiven)
        throw ECommandLineError("--pty and --port exclude each other");
    if (settings.PseudoTerminal && settings.Meter.Behaviour == TMeterBehaviour::Refuse)
        throw ECommandLineError("--pty: a serial port has no connection to refuse");
    if (!settings.File.empty())
        settings.Meter.Messages = LoadMessageFile(settings.File);
    return settings;
}

// Starts serving where the command line asks and tells where.
void StartServing(TSimulatedMeter &meter, const TSettings &settings)
{
    if (settings.PseudoTerminal) {
#ifdef _WIN32
        throw std::runtime_error("--pty: Windows has no pseudo-terminals; use --port");
#else
        const std::string path = meter.ServePseudoTerminal();
        std::cout << "sim_meter: serving on " << path << " (use --meter serial:" << path << ")" << std::endl;
        return;
#endif
    }
    const std::uint16_t boundPort = meter.ListenTcp(settings.Port);
    std::cout << "sim_meter: listening on 127.0.0.1:" << boundPort << " (use --meter tcp:127.0.0.1:" << boundPort
              << ")" << std::endl;
}

// Serves on the loopback port or the pseudo-terminal until Ctrl+C or SIGTERM,
// telling once when the message file is used up, and what was served at the
// end.
void ServeUntilInterrupted(const TSettings &settings)
{
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    TSimulatedMeter meter(settings.Meter);
    StartServing(meter, settings);
    bool toldExhausted = false;
    while (!interrupted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!toldExhausted && meter.Exhausted()) {
            std::cout << "sim_meter: all " << settings.Meter.Messages->size()
                      << " messages of the file are served; further requests get no answer" << std::endl;
            toldExhausted = true;
        }
    }
    std::cout << "sim_meter: served " << meter.MessagesServed() << " messages on " << meter.ConnectionCount()
              << " connections" << std::endl;
}

} // namespace

int main(int argc, char **argv)
{
    TSettings settings;
    try {
        settings = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &error) {
        std::cerr << "sim_meter: " << error.what() << "\n";
        PrintUsage(std::cerr);
        return 2;
    }
    if (settings.Help) {
        PrintUsage(std::cout);
        return 0;
    }
    try {
        ServeUntilInterrupted(settings);
    } catch (const std::exception &error) {
        std::cerr << "sim_meter: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
