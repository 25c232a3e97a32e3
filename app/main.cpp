// Program entry: the command line first, then the window or the headless run.
#include "app/command_line.h"
#include "app/headless_runner.h"
#include "app/meter_backend.h"
#include "app/program_arguments.h"
#include "platform/regional_settings.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

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
    TCommandLine line;
    TMeterBackend backend;
    try {
        line = ParseCommandLine(ProgramArguments(argc, argv));
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

    std::fputs("meter-readout: the window is not built yet; use --headless\n", stderr);
    return 0;
}
