// Program entry: the command line first, then the window or the headless run.
#include "app/application.h"
#include "app/command_line.h"
#include "app/headless_runner.h"
#include "app/meter_backend.h"
#include "app/program_arguments.h"
#include "platform/regional_settings.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

// The program is a windowed one and gets no console of its own; messages and a
// headless run's rows go to the console it was started from, unless its output
// is redirected already.
void UseParentConsole()
{
#if defined(Q_OS_WIN)
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

int RunWithoutWindows(int argc, char **argv, const TCommandLine &line, TMeterBackend &backend)
{
#if defined(Q_OS_WIN)
    _setmode(_fileno(stdout), _O_BINARY);  // rows carry their own CR LF
#endif
    RefreshRegionalSettings();
    // The report is drawn with Qt's fonts, which need a GUI application; it
    // needs no screen.
    std::optional<QGuiApplication> application;
    if (!line.ReportPdfPath.empty()) {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
            std::getenv("QT_QPA_PLATFORM") == nullptr)
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application.emplace(argc, argv);
    }
    return RunHeadless(line, backend, stdout, stderr);
}

} // namespace

int main(int argc, char **argv)
{
    UseParentConsole();
    // The arguments as the platform splits them, before Qt takes its own out.
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    TCommandLine line;
    TMeterBackend backend;
    try {
        line = ParseCommandLine(args);
        if (line.Help) {
            std::fputs(CommandLineHelp().c_str(), stdout);
            return 0;
        }
        backend = MakeMeterBackend(line);
    } catch (const ECommandLineError &error) {
        std::fprintf(stderr, "meter-readout: %s\n", error.what());
        return HeadlessBadCommandLine;
    }

    if (line.Headless)
        return RunWithoutWindows(argc, argv, line, backend);

    return RunWindowProgram(argc, argv, args, *backend.Platform);
}
