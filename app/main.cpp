// SPDX-License-Identifier: Apache-2.0
// Program entry: the command line first, then the window or the headless run.
//
// On Windows the same entry builds two programs: meter-readout.exe, a windowed
// program, and the console launcher meter-readout.com
// (READOUT_CONSOLE_LAUNCHER), which a console finds first for
// "meter-readout": it runs the headless code itself, so the console waits for
// it and sees its exit status, and hands everything else to the windowed
// program, which then has nothing to do with the console.
#include "app/application.h"
#include "app/command_line.h"
#include "app/console_output.h"
#include "app/headless_runner.h"
#include "app/meter_backend.h"
#include "app/program_arguments.h"
#include "app/program_trace.h"
#include "app/publish_option.h"
#include "app/scan_runner.h"
#include "link/link_trace.h"
#include "platform/text/regional_settings.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(Q_OS_WIN)
#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

int RunWithoutWindows(int argc, char **argv, const TCommandLine &line, TMeterBackend &backend)
{
#if defined(Q_OS_WIN)
    _setmode(_fileno(stdout), _O_BINARY);  // rows carry their own CR LF
#endif
    RefreshRegionalSettings();
    // The report is drawn with Qt's fonts, which need a GUI application; it
    // needs no screen. Made only for the report, after the run: on Windows its
    // hidden windows, which nobody serves during the run, would hold up the
    // end of the session.
    std::optional<QGuiApplication> application;
    const auto prepareReport = [&] {
#if !defined(Q_OS_WIN)
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
            std::getenv("QT_QPA_PLATFORM") == nullptr)
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        application.emplace(argc, argv);
    };
    return RunHeadless(line, backend, stdout, stderr, prepareReport);
}

#if defined(READOUT_CONSOLE_LAUNCHER)
int CannotStartWindowProgram(unsigned long error)
{
    WriteOutput(stderr, "meter-readout: cannot start the window program: " + SystemErrorText(error) + "\n",
                TTextEncoding::Utf8);
    return 1;
}

// Starts meter-readout.exe beside this launcher with the arguments this one
// read and returns at once: the window must not belong to the console.
int StartWindowProgram(const std::vector<std::string> &args)
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    if (length == 0)
        return CannotStartWindowProgram(GetLastError());
    path.resize(length);
    path.replace(path.size() - 4, 4, L".exe");  // meter-readout.com -> meter-readout.exe
    std::wstring commandLine = WideFromUtf8(JoinCommandLine(Utf8FromWide(path), args));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process))
        return CannotStartWindowProgram(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    // Before anything else reaches OpenSSL: no configuration file it would
    // read changes how the broker's certificate is checked.
    InitialisePublishing();
#if defined(Q_OS_WIN)
    // Qt's offscreen platform finds no fonts on Windows and would draw a report
    // without text: the program always uses the Windows one, display or not.
    qputenv("QT_QPA_PLATFORM", "windows");
#endif
    // The arguments as the platform splits them, before Qt takes its own out.
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    TCommandLine line;
    TMeterBackend backend;
    std::unique_ptr<TTraceFile> trace;
    try {
        line = ParseCommandLine(args);
        PublishOptionsOf(line);  // a password file that cannot be read is a bad command line
        if (line.Help || line.Version) {
            UseParentConsole();
            WriteOutput(stdout, line.Help ? CommandLineHelp() : VersionLine(), TTextEncoding::Utf8);
            return 0;
        }
        if (line.Headless || line.Scan)
            UseParentConsole();
        backend = MakeMeterBackend(line);
        trace = OpenProgramTrace(line);
#if defined(READOUT_CONSOLE_LAUNCHER)
        // Handed over only once the whole command line is known to be good, so
        // that its errors reach this console.
        if (!line.Headless && !line.Scan)
            return StartWindowProgram(args);
#endif
    } catch (const ECommandLineError &error) {
        UseParentConsole();
        WriteOutput(stderr, std::string("meter-readout: ") + error.what() + "\n", TTextEncoding::Utf8);
        return HeadlessBadCommandLine;
    }

    // Every link made from now on writes to the trace.
    const TProgramLinkTrace tracing(trace.get());
    if (trace && (line.Headless || line.Scan))
        StartProgramTrace(*trace, TraceFailureTo(stderr), backend, args);
    if (line.Scan)
        return RunScan(line, backend, stdout, stderr);
    if (line.Headless)
        return RunWithoutWindows(argc, argv, line, backend);

    return RunWindowProgram(argc, argv, args, backend, trace.get());
}
