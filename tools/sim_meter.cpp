// sim_meter: a simulated meter on a loopback TCP port, for developers and for
// the program's --meter tcp:HOST:PORT. Runs until interrupted (Ctrl+C).
#include "platform/sim/simulated_meter.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnSignal(int) { interrupted = true; }

void PrintUsage(std::ostream &out)
{
    out << "usage: sim_meter [--port N] [--behaviour NAME] [--file PATH] [--seed N]\n"
           "                 [--delay-ms N] [--pieces N,N,...] [--gap-us N] [--short N] [--extra N]\n"
           "Serves one 136-byte reading message per request byte on 127.0.0.1.\n"
           "  --port N          port to listen on (default 0: a free port, printed at start)\n"
           "  --behaviour NAME  answer (default), silent, pieces, short, close, extra, refuse\n"
           "  --file PATH       serve the raw 136-byte messages of this file, once through;\n"
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
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used != text.size() || text.empty() || text[0] == '-' || value > maximum)
        throw std::invalid_argument(option + " wants a whole number from 0 to " + std::to_string(maximum) +
                                    ", not '" + text + "'");
    return value;
}

} // namespace

int main(int argc, char **argv)
{
    TMeterOptions options;
    options.Record = false;
    options.ReplyDelay = std::chrono::milliseconds(50);
    std::uint16_t port = 0;
    std::string file;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            if (option == "--help" || option == "-h") {
                PrintUsage(std::cout);
                return 0;
            }
            if (i + 1 >= argc)
                throw std::invalid_argument("unknown option or missing value: " + option);
            const std::string value = argv[++i];
            if (option == "--port") {
                port = static_cast<std::uint16_t>(ParseNumber(option, value, 65535));
            } else if (option == "--behaviour") {
                const auto behaviour = ParseMeterBehaviour(value);
                if (!behaviour)
                    throw std::invalid_argument("unknown behaviour '" + value + "'");
                options.Behaviour = *behaviour;
            } else if (option == "--file") {
                file = value;
            } else if (option == "--seed") {
                options.Seed = static_cast<std::uint32_t>(ParseNumber(option, value, 0xFFFFFFFFul));
            } else if (option == "--delay-ms") {
                options.ReplyDelay = std::chrono::milliseconds(ParseNumber(option, value, 60'000));
            } else if (option == "--gap-us") {
                options.PieceGap = std::chrono::microseconds(ParseNumber(option, value, 60'000'000));
            } else if (option == "--short") {
                options.ShortLength = ParseNumber(option, value, MeterMessageSize);
            } else if (option == "--extra") {
                options.ExtraLength = ParseNumber(option, value, 1'000'000);
            } else if (option == "--pieces") {
                options.PieceSizes.clear();
                std::istringstream sizes(value);
                for (std::string size; std::getline(sizes, size, ',');)
                    options.PieceSizes.push_back(ParseNumber(option, size, MeterMessageSize));
            } else {
                throw std::invalid_argument("unknown option " + option);
            }
        }
        if (!file.empty())
            options.Messages = LoadMessageFile(file);
    } catch (const std::exception &error) {
        std::cerr << "sim_meter: " << error.what() << "\n";
        PrintUsage(std::cerr);
        return 2;
    }

    try {
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        TSimulatedMeter meter(options);
        const std::uint16_t boundPort = meter.ListenTcp(port);
        std::cout << "sim_meter: listening on 127.0.0.1:" << boundPort << " (use --meter tcp:127.0.0.1:" << boundPort
                  << ")" << std::endl;
        bool toldExhausted = false;
        while (!interrupted) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!toldExhausted && meter.Exhausted()) {
                std::cout << "sim_meter: all " << options.Messages->size()
                          << " messages of the file are served; further requests get no answer" << std::endl;
                toldExhausted = true;
            }
        }
        std::cout << "sim_meter: served " << meter.MessagesServed() << " messages on " << meter.ConnectionCount()
                  << " connections" << std::endl;
    } catch (const std::exception &error) {
        std::cerr << "sim_meter: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
