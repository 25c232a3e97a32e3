// SPDX-License-Identifier: Apache-2.0
#include "app/command_line.h"

#include "link/meter_wire.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <utility>

namespace {

long ParseCount(const std::string &text)
{
    const auto count = WholeNumber(text, 1, LONG_MAX);
    if (!count)
        throw ECommandLineError("--count needs a whole number above 0, not \"" + text + "\"");
    return static_cast<long>(*count);
}

// Up to ten minutes: long enough for any search a computer makes.
long ParseSearchMilliseconds(const std::string &text)
{
    const auto milliseconds = WholeNumber(text, 1, 600000);
    if (!milliseconds)
        throw ECommandLineError("--sim-search-ms needs a whole number from 1 to 600000, not \"" + text + "\"");
    return static_cast<long>(*milliseconds);
}

// The options that are switches, and those whose value is a file or folder.
struct TFlagOption {
    const char *Name;
    bool TCommandLine::*Field;
};
constexpr TFlagOption Flags[] = {
    {"--simulate", &TCommandLine::Simulate},         {"--headless", &TCommandLine::Headless},
    {"--sim-no-radio", &TCommandLine::SimulateNoRadio}, {"--help", &TCommandLine::Help},
    {"--no-journal", &TCommandLine::NoJournal},       {"--scan", &TCommandLine::Scan},
    {"--version", &TCommandLine::Version},
};

struct TPathOption {
    const char *Name;
    std::string TCommandLine::*Field;
};
const TPathOption Paths[] = {
    {"--trace", &TCommandLine::TracePath},     {"--sim-messages", &TCommandLine::SimMessagesPath},
    {"--csv", &TCommandLine::CsvPath},         {"--report-pdf", &TCommandLine::ReportPdfPath},
    {"--journal-dir", &TCommandLine::JournalDir},
    {"--publish-user", &TCommandLine::PublishUser}, {"--publish-password-file", &TCommandLine::PublishPasswordFile},
    {"--publish-ca", &TCommandLine::PublishCa},
};

} // namespace

bool ClbModeOf(const std::vector<std::string> &args)
{
    return !args.empty() && args.front() == "clb";
}

TCommandLine ParseCommandLine(const std::vector<std::string> &args)
{
    TCommandLine result;
    result.ClbMode = ClbModeOf(args);

    TOptionReader reader(args);
    while (reader.Next()) {
        if (!reader.IsOption())
            continue;  // "clb", Qt's own options and stray words
        const std::string &name = reader.Name();
        const auto flag = std::find_if(std::begin(Flags), std::end(Flags),
                                       [&](const TFlagOption &option) { return name == option.Name; });
        const auto path = std::find_if(std::begin(Paths), std::end(Paths),
                                       [&](const TPathOption &option) { return name == option.Name; });
        if (flag != std::end(Flags)) {
            reader.Flag(result.*flag->Field);
        } else if (path != std::end(Paths)) {
            result.*path->Field = reader.NonEmptyValue();
        } else if (name == "--meter") {
            result.MeterAddress = reader.NonEmptyValue();
            result.Meter = ParseMeterOption(result.MeterAddress);
        } else if (name == "--publish") {
            result.PublishAddress = reader.NonEmptyValue();
            try {
                result.Publish = ParseBrokerAddress(result.PublishAddress);
            } catch (const EBrokerAddressError &error) {
                throw ECommandLineError(error.what());
            }
        } else if (name == "--count") {
            result.Count = ParseCount(reader.Value());
        } else if (name == "--sim-search-ms") {
            result.SimSearchMilliseconds = ParseSearchMilliseconds(reader.Value());
        } else {
            throw ECommandLineError("unknown option " + name + " (see --help)");
        }
    }

    if (!result.SimMessagesPath.empty() || result.SimulateNoRadio || result.SimSearchMilliseconds)
        result.Simulate = true;
    if (result.Scan) {
        // The scan looks for radios and devices, no more: what it would not
        // use cannot stop it either.
        const TCommandLine scan = result;
        result = TCommandLine{};
        result.Scan = true;
        result.ClbMode = scan.ClbMode;
        result.Simulate = scan.Simulate;
        result.SimulateNoRadio = scan.SimulateNoRadio;
        result.SimSearchMilliseconds = scan.SimSearchMilliseconds;
        result.MeterAddress = scan.MeterAddress;
        result.Meter = scan.Meter;
        result.TracePath = scan.TracePath;
        result.Help = scan.Help;
        result.Version = scan.Version;
    }
    if (!result.Publish) {
        for (const auto &[given, name] : {std::pair{!result.PublishUser.empty(), "--publish-user"},
                                          std::pair{!result.PublishPasswordFile.empty(), "--publish-password-file"},
                                          std::pair{!result.PublishCa.empty(), "--publish-ca"}}) {
            if (given)
                throw ECommandLineError(std::string(name) + " needs --publish");
        }
    }
    if (!result.PublishPasswordFile.empty() && result.PublishUser.empty())
        throw ECommandLineError("--publish-password-file needs --publish-user");
    if (result.NoJournal && !result.JournalDir.empty())
        throw ECommandLineError("--journal-dir cannot be combined with --no-journal");
    // The simulated computer has radios, so a pinned address applies to it.
    if (result.Simulate && result.Meter && result.Meter->Kind != TMeterRouteKind::Bluetooth)
        throw ECommandLineError("--meter tcp: and serial: cannot be combined with --simulate or --sim-messages");
    if (!result.Headless) {
        for (const auto &[given, name] : {std::pair{result.Count.has_value(), "--count"},
                                          std::pair{!result.CsvPath.empty(), "--csv"},
                                          std::pair{!result.ReportPdfPath.empty(), "--report-pdf"}}) {
            if (given)
                throw ECommandLineError(std::string(name) + " needs --headless");
        }
    }
    return result;
}

const std::vector<TExitStatus> &ExitStatuses()
{
    static const std::vector<TExitStatus> statuses{
        {HeadlessDone, "done; --scan: the meter is listed"},
        {HeadlessFileFailed,
         "CSV file or report not written, or no acquisition thread (headless); --scan: the meter is not listed"},
        {HeadlessBadCommandLine, "bad command line, or a --trace FILE that cannot be made"},
        {HeadlessNoRadio, "no Bluetooth radio (headless and --scan)"},
    };
    return statuses;
}

std::string CommandLineHelp()
{
    std::string help = "Usage: meter-readout [clb] [options]\n"
           "\n"
           "Collects readings of the grain meter over Bluetooth into a table.\n"
           "\n"
           "  clb                   as the first argument: show and save the raw values IR1 to IR4\n"
           "  --simulate            use the simulated radio and meter instead of Bluetooth\n"
           "  --sim-messages FILE   the simulated meter serves these raw " +
           std::to_string(ReadingMessageSize) + "-byte records,\n"
           "                        one per connection, once through the file (implies --simulate)\n"
           "  --sim-no-radio        simulate a computer without a Bluetooth radio (implies --simulate)\n"
           "  --sim-search-ms N     each simulated radio's search takes N ms, as a computer's own\n"
           "                        (3840 on Windows) does (implies --simulate)\n"
           "  --meter bt:AA:BB:CC:DD:EE:FF\n"
           "                        take the Bluetooth device at this address, whatever its name\n"
           "  --meter serial:PORT[@BAUD]\n"
           "                        reach the meter through a serial port (COM5, /dev/rfcomm0,\n"
           "                        /dev/ttyUSB0); 9600 baud unless @BAUD names another\n"
           "  --meter tcp:HOST:PORT reach the meter through a serial-to-network bridge\n"
           "  --headless            no window: start at once and print each accepted row\n"
           "  --count N             headless: stop after N accepted readings\n"
           "  --csv FILE            headless: write the rows to FILE, each one on disk at once\n"
           "  --report-pdf FILE     headless: at the end, write the printed report to FILE\n"
           "  --journal-dir DIR     keep the journal of this run's readings in DIR\n"
           "  --no-journal          keep no journal of the readings\n"
           "  --publish mqtts://HOST[:PORT]/PREFIX\n"
           "                        publish each reading to this MQTT broker over TLS (port 8883\n"
           "                        unless given), as PREFIX/<serial number>/reading;\n"
           "                        mqtt://HOST[:PORT]/PREFIX: without TLS (1883), for a closed\n"
           "                        network only\n"
           "  --publish-user NAME   the broker's user name; the password comes from the\n"
           "                        environment variable READOUT_MQTT_PASSWORD\n"
           "  --publish-password-file FILE\n"
           "                        or from the first line of FILE\n"
           "  --publish-ca FILE     trust the broker's certificate when this authority signed it\n"
           "                        (else: when an authority the system trusts did)\n"
           "  --scan                search every radio once as acquisition does, list each\n"
           "                        radio and device, mark the meter and names that nearly\n"
           "                        match, then exit (other options are ignored)\n"
           "  --trace FILE          append a line to FILE for each step of discovery,\n"
           "                        connection and exchange, and what came of each message\n"
           "  --help                show this text and exit\n"
           "  --version             show the program's name and version and exit\n"
           "\n"
           "Exit status:\n";
    for (const TExitStatus &status : ExitStatuses())
        help += "  " + std::to_string(status.Status) + "  " + status.Meaning + "\n";
    return help;
}

const char *ProgramVersion()
{
    return READOUT_VERSION;
}

std::string VersionLine()
{
    return std::string("meter-readout ") + ProgramVersion() + "\n";
}

TJournalOptions JournalOptionsOf(const TCommandLine &line)
{
    return TJournalOptions{!line.NoJournal, line.JournalDir};
}

TSplitCommandLine SplitCommandLine(const std::string &commandLine)
{
    TSplitCommandLine split;
    const auto separates = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    const std::size_t n = commandLine.size();

    if (n > 0 && commandLine[0] == '"') {
        const std::size_t end = std::min(commandLine.find('"', 1), n);
        split.Program = commandLine.substr(1, end - 1);
        i = std::min(end + 1, n);
    } else {
        while (i < n && !separates(commandLine[i]))
            ++i;
        split.Program = commandLine.substr(0, i);
    }

    while (i < n && separates(commandLine[i]))
        ++i;
    std::string arg;
    bool inArgument = i < n;  // an argument has begun
    bool quoted = false;
    while (i < n) {
        const char c = commandLine[i];
        if (separates(c) && !quoted) {
            split.Arguments.push_back(std::move(arg));
            arg.clear();
            while (i < n && separates(commandLine[i]))
                ++i;
            inArgument = i < n;
        } else if (c == '\\') {
            const std::size_t run = commandLine.find_first_not_of('\\', i);
            const std::size_t count = std::min(run, n) - i;
            i += count;
            const bool beforeQuote = i < n && commandLine[i] == '"';
            arg.append(beforeQuote ? count / 2 : count, '\\');
            if (beforeQuote && count % 2 == 1) {
                arg += '"';
                ++i;
            }
        } else if (c == '"') {
            // A run of quotes, counted from the opening one when quoted: each
            // third is a literal quote, and one left over opens the quotes.
            int count = quoted ? 1 : 0;
            for (; i < n && commandLine[i] == '"'; ++i) {
                if (++count == 3) {
                    arg += '"';
                    count = 0;
                }
            }
            quoted = count == 1;
        } else {
            arg += c;
            ++i;
        }
    }
    if (inArgument)
        split.Arguments.push_back(std::move(arg));
    return split;
}

std::string QuoteCommandLineArgument(const std::string &argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, '\\');  // before the closing quote
    return quoted + '"';
}

std::string JoinCommandLine(const std::string &program, const std::vector<std::string> &arguments)
{
    std::string line = '"' + program + '"';
    for (const std::string &argument : arguments)
        line += ' ' + QuoteCommandLineArgument(argument);
    return line;
}
