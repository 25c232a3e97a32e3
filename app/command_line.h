// SPDX-License-Identifier: Apache-2.0
// The program's command line: the "clb" rule for the first argument, and the
// options of the simulated meter, the way to the meter, the headless runner and
// the diagnostics (--scan, --trace).
#pragma once

#include "app/meter_option.h"
#include "app/option_reader.h"
#include "publish/broker_address.h"
#include "readings/session_journal.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct TCommandLine {
    bool ClbMode = false;          // the first argument is exactly "clb"
    bool Simulate = false;         // --simulate: the simulated radio and meter
    std::string SimMessagesPath;   // --sim-messages FILE: raw reading messages to serve
    bool SimulateNoRadio = false;  // --sim-no-radio: a simulated computer without a radio
    std::optional<long> SimSearchMilliseconds;  // --sim-search-ms N: each simulated radio's search
    std::string MeterAddress;      // --meter as given: bt:..., serial:..., tcp:...
    std::optional<TMeterOption> Meter;  // --meter as understood
    bool Headless = false;         // --headless
    std::optional<long> Count;     // --count N: stop after N accepted readings
    std::string CsvPath;           // --csv FILE
    std::string ReportPdfPath;     // --report-pdf FILE
    bool NoJournal = false;        // --no-journal
    std::string JournalDir;        // --journal-dir DIR
    std::string PublishAddress;    // --publish as given
    std::optional<TBrokerAddress> Publish;  // --publish as understood
    std::string PublishUser;       // --publish-user NAME
    std::string PublishPasswordFile;  // --publish-password-file FILE
    std::string PublishCa;         // --publish-ca FILE
    bool Scan = false;             // --scan: list what discovery sees, then exit
    std::string TracePath;         // --trace FILE: what the link does, line by line
    bool Help = false;             // --help
    bool Version = false;          // --version
};

// Where the session journal goes, as the command line says.
TJournalOptions JournalOptionsOf(const TCommandLine &line);

// The "clb" rule: the first argument, as the platform split the command line,
// is exactly "clb" (no other case, no dash or slash, nothing more).
bool ClbModeOf(const std::vector<std::string> &args);

// args are the arguments after the program name, as the platform split them.
// Arguments that are none of the options are left alone (Qt's own options among
// them); an unknown option that begins with "--" is an error. With --scan the
// options the scan does not use are dropped unchecked, as if not given.
TCommandLine ParseCommandLine(const std::vector<std::string> &args);

// Exit statuses of the headless run and the scan (2 is a bad command line).
inline constexpr int HeadlessDone = 0;
inline constexpr int HeadlessFileFailed = 1;
inline constexpr int HeadlessBadCommandLine = 2;
inline constexpr int HeadlessNoRadio = 3;

// An exit status of the program and what it means.
struct TExitStatus {
    int Status;
    const char *Meaning;
};

// Every exit status, in order: --help lists them, and so does the README.
const std::vector<TExitStatus> &ExitStatuses();

// The text --help prints.
std::string CommandLineHelp();

// The program's version, the project's own (as the packages and the window's
// caption have it), and the line --version prints: "meter-readout 1.3.0".
const char *ProgramVersion();
std::string VersionLine();

// A command line split as Windows splits it (CommandLineToArgvW, which Qt
// uses for its own options too). The text is UTF-8: none of the characters
// the rules look at (space, tab, quote, backslash) occurs inside a longer one.
struct TSplitCommandLine {
    // The program's name has a rule of its own: when it begins with a quote it
    // ends at the next quote, a space or not; otherwise it ends at the first
    // space or tab. Quotes inside it and backslashes are kept as they are.
    std::string Program;
    // The arguments: spaces and tabs outside quotes separate them, quotes
    // group characters and are removed. 2n backslashes and a quote give n
    // backslashes and the quote groups; 2n+1 backslashes and a quote give n
    // backslashes and a literal quote; backslashes before anything else are
    // kept. So "C:\Data\\" gives C:\Data\, while "C:\Data\" gives C:\Data"
    // and runs on into what follows, spaces and all, until the next quote.
    // Inside quotes "" gives a literal quote and closes the quotes, as
    // CommandLineToArgvW and the C runtimes before 2008 have it (later C
    // runtimes stay in quotes): "a""b c" gives a"b and c.
    std::vector<std::string> Arguments;
};

TSplitCommandLine SplitCommandLine(const std::string &commandLine);

// The argument as SplitCommandLine gives it back: as it is when it is not
// empty and holds no space, tab or quote; otherwise in quotes, each quote
// escaped and the backslashes before a quote or the closing quote doubled.
std::string QuoteCommandLineArgument(const std::string &argument);

// A command line that SplitCommandLine gives back as program and arguments.
// The program goes in quotes, so it must hold none (no Windows path does).
std::string JoinCommandLine(const std::string &program, const std::vector<std::string> &arguments);
