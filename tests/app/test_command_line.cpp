// SPDX-License-Identifier: Apache-2.0
#include "app/command_line.h"
#include "tests/app/readme_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <string>

#ifdef _WIN32
#include "platform/text/wide_text_win32.h"

#include <memory>

#include <windows.h>
#include <shellapi.h>
#endif

namespace {

// Test names from the arguments, so a failure names its case.
std::string CaseName(const std::vector<std::string> &args, std::size_t index)
{
    std::string name = "case" + std::to_string(index);
    for (const std::string &arg : args) {
        name += '_';
        for (const char c : arg)
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : 'x';
    }
    return name;
}

struct TClbCase {
    std::vector<std::string> args;
    bool clb;
};

class ClbRule : public testing::TestWithParam<TClbCase> {};

TEST_P(ClbRule, OnlyExactlyClbAsFirstArgumentSelectsRawColumns)
{
    EXPECT_EQ(ParseCommandLine(GetParam().args).ClbMode, GetParam().clb);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ClbRule,
    testing::Values(TClbCase{{"clb"}, true}, TClbCase{{"clb", "--simulate"}, true},
                    TClbCase{{}, false}, TClbCase{{"CLB"}, false}, TClbCase{{"-clb"}, false},
                    TClbCase{{"/clb"}, false}, TClbCase{{"clbx"}, false}, TClbCase{{"clb "}, false},
                    TClbCase{{"--simulate", "clb"}, false}, TClbCase{{"x", "clb"}, false}),
    [](const testing::TestParamInfo<TClbCase> &info) { return CaseName(info.param.args, info.index); });

TEST(CommandLine, ReadsEveryOptionInBothForms)
{
    const TCommandLine line = ParseCommandLine({"--headless", "--count", "7", "--csv=out.csv",
                                                "--report-pdf", "r.pdf", "--sim-messages", "m.bin"});
    EXPECT_TRUE(line.Headless);
    EXPECT_EQ(line.Count, 7);
    EXPECT_EQ(line.CsvPath, "out.csv");
    EXPECT_EQ(line.ReportPdfPath, "r.pdf");
    EXPECT_EQ(line.SimMessagesPath, "m.bin");
    EXPECT_TRUE(line.Simulate) << "a messages file means the simulated meter";
    EXPECT_FALSE(line.ClbMode);
}

TEST(CommandLine, JournalIsOnInTheDefaultFolderUnlessMovedOrSwitchedOff)
{
    const struct {
        std::vector<std::string> Args;
        bool Enabled;
        std::string Folder;
    } cases[] = {
        {{}, true, ""},
        {{"--headless", "--journal-dir", "/data/j"}, true, "/data/j"},
        {{"--journal-dir=-j"}, true, "-j"},
        {{"clb", "--no-journal"}, false, ""},
    };
    for (const auto &c : cases) {
        const TJournalOptions options = JournalOptionsOf(ParseCommandLine(c.Args));
        EXPECT_EQ(options.Enabled, c.Enabled) << CaseName(c.Args, 0);
        EXPECT_EQ(options.Folder, c.Folder) << CaseName(c.Args, 0);
    }
}

TEST(CommandLine, TheScanKeepsWhatItUsesAndIgnoresTheRest)
{
    const struct {
        std::vector<std::string> Args;
        bool Simulate;
        bool NoRadio;
        std::string Meter;
        std::string Trace;
    } cases[] = {
        {{"--scan"}, false, false, "", ""},
        {{"--scan", "--simulate", "--trace", "t.txt"}, true, false, "", "t.txt"},
        {{"--sim-no-radio", "--scan"}, true, true, "", ""},
        {{"--scan", "--meter=tcp:h:1"}, false, false, "tcp:h:1", ""},
        // Options the scan does not use: no error, no effect, however they combine.
        {{"--scan", "--headless", "--count", "3", "--csv", "a.csv", "--report-pdf", "r.pdf"}, false, false, "", ""},
        {{"--scan", "--csv", "a.csv"}, false, false, "", ""},
        {{"--scan", "--journal-dir", "j", "--no-journal"}, false, false, "", ""},
        {{"--scan", "--sim-messages", "m.bin"}, true, false, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(CaseName(c.Args, 0));
        const TCommandLine line = ParseCommandLine(c.Args);
        EXPECT_TRUE(line.Scan);
        EXPECT_EQ(line.Simulate, c.Simulate);
        EXPECT_EQ(line.SimulateNoRadio, c.NoRadio);
        EXPECT_EQ(line.MeterAddress, c.Meter);
        EXPECT_EQ(line.TracePath, c.Trace);
        EXPECT_FALSE(line.Headless);
        EXPECT_FALSE(line.Count.has_value());
        EXPECT_TRUE(line.CsvPath.empty() && line.ReportPdfPath.empty() && line.SimMessagesPath.empty());
    }
    EXPECT_EQ(ParseCommandLine({"--headless", "--trace=t.txt"}).TracePath, "t.txt");
    EXPECT_EQ(ParseCommandLine({"--trace", "t.txt"}).TracePath, "t.txt") << "the window traces too";
}

TEST(CommandLine, HelpAndVersionAreSwitchesThatAScanKeeps)
{
    const struct {
        std::vector<std::string> Args;
        bool Help;
        bool Version;
    } cases[] = {
        {{"--version"}, false, true},
        {{"clb", "--simulate", "--version"}, false, true},
        {{"--scan", "--version"}, false, true},
        {{"--help", "--scan"}, true, false},
        {{"--version", "--help"}, true, true},
        {{"--simulate"}, false, false},
    };
    for (const auto &c : cases) {
        const TCommandLine line = ParseCommandLine(c.Args);
        EXPECT_EQ(line.Help, c.Help) << CaseName(c.Args, 0);
        EXPECT_EQ(line.Version, c.Version) << CaseName(c.Args, 0);
    }
}

// The first word of each option's line in --help, and of each row of the
// README's table of arguments: the same options in the same order.
TEST(CommandLine, TheReadmeListsTheOptionsThatHelpLists)
{
    std::vector<std::string> helped;
    std::istringstream help(CommandLineHelp());
    for (std::string line; std::getline(help, line);) {
        if (line.rfind("  --", 0) == 0 || line.rfind("  clb ", 0) == 0)
            helped.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    std::vector<std::string> listed;
    for (const std::vector<std::string> &row : ReadmeTable("| Argument | What it does |")) {
        const std::string &cell = row.front();  // `--meter tcp:HOST:PORT`
        listed.push_back(cell.substr(1, cell.find_first_of(" `", 1) - 1));
    }
    EXPECT_EQ(listed, helped);
    EXPECT_EQ(std::count(helped.begin(), helped.end(), "--version"), 1);
}

TEST(CommandLine, StrayWordsAndQtOptionsAreLeftAlone)
{
    const TCommandLine line = ParseCommandLine({"hello", "-platform", "offscreen", "--meter", "tcp:h:1"});
    EXPECT_EQ(line.MeterAddress, "tcp:h:1");
    EXPECT_FALSE(line.Simulate);
}

struct TBadCase {
    std::vector<std::string> args;
    std::string named;  // the message names the problem
};

class BadCommandLine : public testing::TestWithParam<TBadCase> {};

TEST_P(BadCommandLine, IsRejectedWithAMessageNamingTheProblem)
{
    try {
        ParseCommandLine(GetParam().args);
        FAIL() << "accepted";
    } catch (const ECommandLineError &error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().named), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadCommandLine,
    testing::Values(TBadCase{{"--frobnicate"}, "--frobnicate"}, TBadCase{{"--headless", "--count"}, "--count"},
                    TBadCase{{"--headless", "--count", "0"}, "--count"},
                    TBadCase{{"--headless", "--count", "3x"}, "3x"},
                    TBadCase{{"--headless", "--count", "-1"}, "--count"},
                    TBadCase{{"--headless", "--count", "+3"}, "--count"},
                    TBadCase{{"--headless", "--count", " 3"}, "--count"},
                    TBadCase{{"--headless", "--csv="}, "--csv"}, TBadCase{{"--csv", "a.csv"}, "--headless"},
                    TBadCase{{"--simulate=yes"}, "--simulate"},
                    TBadCase{{"--simulate", "--meter", "tcp:h:1"}, "--meter"},
                    // A value that is the next option is a missing value, not a file name.
                    TBadCase{{"--headless", "--csv", "--report-pdf", "r.pdf"}, "--csv"},
                    TBadCase{{"--headless", "--report-pdf=--csv"}, "--report-pdf"},
                    TBadCase{{"--sim-messages", "--headless"}, "--sim-messages"},
                    TBadCase{{"--journal-dir", "--no-journal"}, "--journal-dir"},
                    TBadCase{{"--journal-dir", "j", "--no-journal"}, "--no-journal"},
                    TBadCase{{"--no-journal=yes"}, "--no-journal"}, TBadCase{{"--version=1"}, "--version"},
                    TBadCase{{"--trace"}, "--trace"}, TBadCase{{"--trace="}, "--trace"},
                    TBadCase{{"--trace", "--headless"}, "--trace"}, TBadCase{{"--scan=yes"}, "--scan"},
                    TBadCase{{"--scan", "--simulate", "--meter", "tcp:h:1"}, "--meter"},
                    // Each bad way to the meter is named as it was typed.
                    TBadCase{{"--meter", "bt:00:A4:C1:38:0F"}, "bt:00:A4:C1:38:0F"},
                    TBadCase{{"--meter", "bt:00:A4:C1:38:0F:2G"}, "bt:00:A4:C1:38:0F:2G"},
                    TBadCase{{"--meter", "bt:00-A4-C1-38-0F-2B"}, "bt:00-A4-C1-38-0F-2B"},
                    TBadCase{{"--meter", "serial:"}, "serial:"}, TBadCase{{"--meter", "serial:@9600"}, "serial:@9600"},
                    TBadCase{{"--meter", "serial:COM5@0"}, "serial:COM5@0"},
                    TBadCase{{"--meter", "serial:COM5@abc"}, "serial:COM5@abc"},
                    TBadCase{{"--meter", "serial:COM5@9601"}, "serial:COM5@9601"},
                    TBadCase{{"--meter", "usb:COM5"}, "usb:COM5"}, TBadCase{{"--meter", "COM5"}, "COM5"},
                    TBadCase{{"--simulate", "--meter", "serial:COM5"}, "--meter"}),
    [](const testing::TestParamInfo<TBadCase> &info) { return CaseName(info.param.args, info.index); });

TEST(MeterOption, EachWayToTheMeterIsReadFromItsPrefix)
{
    const struct {
        const char *Text;
        TMeterRouteKind Kind;
        std::uint64_t Address;
        const char *Port;
        std::uint32_t Baud;
    } cases[] = {
        {"bt:00:A4:C1:38:0F:2B", TMeterRouteKind::Bluetooth, 0x00A4C1380F2B, "", 9600},
        {"bt:00:a4:c1:38:0f:2b", TMeterRouteKind::Bluetooth, 0x00A4C1380F2B, "", 9600},
        {"serial:COM5", TMeterRouteKind::Serial, 0, "COM5", 9600},
        {"serial:COM12@115200", TMeterRouteKind::Serial, 0, "COM12", 115200},
        {"serial:/dev/rfcomm0", TMeterRouteKind::Serial, 0, "/dev/rfcomm0", 9600},
        {"serial:/dev/ttyUSB0@300", TMeterRouteKind::Serial, 0, "/dev/ttyUSB0", 300},
        {"tcp:localhost:5000", TMeterRouteKind::Tcp, 0, "", 9600},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        const TMeterOption option = ParseMeterOption(c.Text);
        EXPECT_EQ(option.Kind, c.Kind);
        EXPECT_EQ(option.BluetoothAddress, c.Address);
        EXPECT_EQ(option.SerialPort, c.Port);
        EXPECT_EQ(option.Baud, c.Baud);
    }
    // A pinned address applies to the simulated computer's radios too.
    EXPECT_EQ(ParseCommandLine({"--simulate", "--meter", "bt:00:A4:C1:38:0F:2B"}).Meter->BluetoothAddress,
              0x00A4C1380F2Bu);
}

TEST(OptionReader, AWholeNumberIsDecimalDigitsAloneWithinItsBounds)
{
    const std::optional<unsigned long> none;
    const struct {
        const char *Text;
        std::optional<unsigned long> Read;
    } cases[] = {
        {"0", 0},     {"7", 7},         {"007", 7},  {"10", 10},  {"11", none},  {"", none},
        {"-1", none}, {"+1", none},     {" 1", none}, {"1 ", none}, {"1x", none},  {"0x5", none},
        {"1.0", none}, {"99999999999999999999999", none},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WholeNumber(c.Text, 0, 10), c.Read) << '"' << c.Text << '"';
    EXPECT_EQ(WholeNumber("0", 1, 10), none) << "below the lower bound";
}

#ifdef _WIN32
struct TLocalFree {
    void operator()(wchar_t **argv) const { LocalFree(argv); }
};

// Windows' own split, the program first, to hold the tables against.
std::vector<std::string> Shell32Split(const std::string &line)
{
    int count = 0;
    const std::unique_ptr<wchar_t *, TLocalFree> argv(CommandLineToArgvW(WideFromUtf8(line).c_str(), &count));
    std::vector<std::string> split;
    for (int i = 0; argv && i < count; ++i)
        split.push_back(Utf8FromWide(argv.get()[i]));
    return split;
}

void ExpectShell32Splits(const std::string &line, const std::string &program, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), program);
    EXPECT_EQ(Shell32Split(line), arguments) << "Windows' split of " << line;
}
#endif

// Command lines and how Windows splits them.
struct TSplitCase {
    const char *Line;
    const char *Program;
    std::vector<std::string> Arguments;
};
const TSplitCase SplitCases[] = {
    {"prog\ta  \"b\tc\" ", "prog", {"a", "b\tc"}},
    {R"("C:\My Files\prog.exe" clb)", R"(C:\My Files\prog.exe)", {"clb"}},
    // The program's name: backslashes and inner quotes kept, a leading
    // quote closed by the next one even without a space.
    {R"(C:\a"b c"d e)", R"(C:\a"b)", {"cd e"}},
    {R"("C:\x\"a1 a2)", R"(C:\x\)", {"a1", "a2"}},
    {R"( "a"b c)", "", {"ab", "c"}},
    {"   ", "", {}},
    // Backslashes: literal unless a quote follows.
    {R"(p a\b c\\d e\)", "p", {R"(a\b)", R"(c\\d)", R"(e\)"}},
    {R"(p \"a \\"b c" \\\"d \\\\"e f")", "p", {R"("a)", R"(\b c)", R"(\"d)", R"(\\e f)"}},
    {R"(p "C:\Data\\" x)", "p", {R"(C:\Data\)", "x"}},
    {R"(p "C:\Data\" x)", "p", {R"(C:\Data" x)"}},
    // Runs of quotes, empty arguments, an unclosed quote.
    {R"(p "a""b c" d)", "p", {R"(a"b)", "c d"}},
    {R"(p a"""b "x""" y")", "p", {R"(a"b)", R"(x" y)"}},
    {R"(p "" x "un closed)", "p", {"", "x", "un closed"}},
    // UTF-8 passes through whole.
    {"\"C:\\Mesures ü\\p.exe\" \"Łódź °C\" Ω", "C:\\Mesures ü\\p.exe", {"Łódź °C", "Ω"}},
};

TEST(CommandLine, SplitsAsWindowsDoes)
{
    for (const TSplitCase &c : SplitCases) {
        SCOPED_TRACE(c.Line);
        const TSplitCommandLine split = SplitCommandLine(c.Line);
        EXPECT_EQ(split.Program, c.Program);
        EXPECT_EQ(split.Arguments, c.Arguments);
#ifdef _WIN32
        ExpectShell32Splits(c.Line, c.Program, c.Arguments);
#endif
    }
}

// Arguments and how they are written on a command line.
const struct {
    std::string Argument;
    std::string Quoted;
} QuoteCases[] = {
    {R"(C:\Data\)", R"(C:\Data\)"},
    {"", R"("")"},
    {"a\tb c", "\"a\tb c\""},
    {R"(C:\My Data\)", R"("C:\My Data\\")"},
    {R"(a\\b "c")", R"("a\\b \"c\"")"},
    {R"(a\"b)", R"("a\\\"b")"},
    {"Łódź °C", "\"Łódź °C\""},
};

TEST(CommandLine, QuotesAnArgumentSoThatTheSplitGivesItBack)
{
    std::vector<std::string> all;
    for (const auto &c : QuoteCases) {
        SCOPED_TRACE(c.Argument);
        EXPECT_EQ(QuoteCommandLineArgument(c.Argument), c.Quoted);
        EXPECT_EQ(SplitCommandLine("p " + c.Quoted).Arguments, std::vector<std::string>{c.Argument});
        all.push_back(c.Argument);
    }
    for (const std::string program : {R"(C:\Program Files\Mesures ü\meter-readout.exe)", ""}) {
        const std::string line = JoinCommandLine(program, all);
        const TSplitCommandLine split = SplitCommandLine(line);
        EXPECT_EQ(split.Program, program);
        EXPECT_EQ(split.Arguments, all);
#ifdef _WIN32
        ExpectShell32Splits(line, program, all);
#endif
    }
}

} // namespace
