#include "app/headless_runner.h"

#include "app/console_output.h"

#include "link/Glaxbththr.h"
#include "platform/durable_append_file.h"
#include "platform/regional_settings.h"
#include "platform/synchronize.h"
#include "readings/csv_writer.h"
#include "readings/qt/readings_report.h"
#include "readings/reading_columns.h"
#include "readings/reading_row.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

volatile std::sig_atomic_t StopSignalled = 0;

extern "C" void OnStopSignal(int)
{
    StopSignalled = 1;
}

#if defined(_WIN32)
// Set once the run has ended in order, so a console that is being closed can
// wait for it. One for the process, reset by each run.
const HANDLE RunEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// Ctrl+C, Ctrl+Break, the console's close box, logoff and shutdown all end the
// run in order. Windows ends the process as soon as the handler returns from a
// close, logoff or shutdown (and after about five seconds anyway), so for those
// the handler waits until the reading under way is in and the worker has ended.
BOOL WINAPI OnConsoleControl(DWORD event)
{
    StopSignalled = 1;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(RunEnded, 4500);
    return TRUE;
}
#endif

// Installs the stop handlers for the run and puts the old ones back after it.
class TStopSignals {
public:
    TStopSignals()
    {
        StopSignalled = 0;
        FOldInterrupt = std::signal(SIGINT, OnStopSignal);
        FOldTerminate = std::signal(SIGTERM, OnStopSignal);
#if defined(_WIN32)
        ResetEvent(RunEnded);
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#endif
    }
    ~TStopSignals()
    {
#if defined(_WIN32)
        SetEvent(RunEnded);
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#endif
        std::signal(SIGINT, FOldInterrupt);
        std::signal(SIGTERM, FOldTerminate);
    }
    TStopSignals(const TStopSignals &) = delete;
    TStopSignals &operator=(const TStopSignals &) = delete;

private:
    void (*FOldInterrupt)(int);
    void (*FOldTerminate)(int);
};

void Report(std::FILE *messages, const std::string &text)
{
    WriteOutput(messages, text + "\n", TTextEncoding::Utf8);
}

class THeadlessHost : public IWorkerHost {
public:
    THeadlessHost(const TCommandLine &line, TMeterBackend &backend, std::FILE *rows, TDurableAppendFile *csv)
        : FLine(line), FBackend(backend), FRows(rows), FCsv(csv), FTable(ColumnCountFor(line.ClbMode)),
          FSeparator(CsvListSeparator(CurrentRegionalSettings()))
    {
        SetUpReadingsTable(FTable, line.ClbMode);
    }

    std::string HeaderLine() const { return Line(0); }
    const TReadingsTable &Table() const { return FTable; }
    long Accepted() const { return FAccepted; }
    bool NoRadio() const { return FNoRadio; }
    const std::optional<std::string> &FileError() const { return FFileError; }
    bool Finished() const
    {
        return FNoRadio || FFileError || (FLine.Count && FAccepted >= *FLine.Count) || FBackend.MessagesDone();
    }

    void ShowIndicator(TColor) override {}
    void ShowRunState(std::int32_t) override {}
    void ShowStopOverlay() override {}
    void ShowNoRadioError() override { FNoRadio = true; }

    void AddReading(const TReading &reading) override
    {
        const int row = AddReadingToTable(FTable, reading, FLine.ClbMode, CurrentRegionalSettings());
        ++FAccepted;
        const std::string line = Line(row);
        WriteOutput(FRows, line, TTextEncoding::Ansi);
        if (FCsv && !FFileError) {
            try {
                FCsv->Append(line);
            } catch (const EFileError &error) {
                // The worker would swallow it with the reading; the run must end instead.
                FFileError = error.what();
            }
        }
        // Stop before the next cycle, so the run ends with exactly what was asked for.
        const bool countReached = FLine.Count && FAccepted >= *FLine.Count;
        const bool messagesUsedUp = FBackend.Meter && FBackend.Meter->Exhausted();
        if ((countReached || messagesUsedUp || FFileError) && BTthr != nullptr)
            BTthr->RequestStop();
    }

private:
    std::string Line(int row) const { return CsvLine(FTable, row, ColumnCountFor(FLine.ClbMode), FSeparator); }

    const TCommandLine &FLine;
    TMeterBackend &FBackend;
    std::FILE *FRows;
    TDurableAppendFile *FCsv;
    TReadingsTable FTable;
    const std::string FSeparator;  // one for the whole run, so every line agrees
    long FAccepted = 0;
    bool FNoRadio = false;
    std::optional<std::string> FFileError;
};

} // namespace

int RunHeadless(const TCommandLine &line, TMeterBackend &backend, std::FILE *rows, std::FILE *messages)
{
    std::unique_ptr<TDurableAppendFile> csv;
    if (!line.CsvPath.empty()) {
        try {
            csv = std::make_unique<TDurableAppendFile>(line.CsvPath);
        } catch (const EFileError &error) {
            Report(messages, std::string("meter-readout: --csv: ") + error.what());
            return HeadlessBadCommandLine;
        }
    }

    TSynchronizer synchronizer;
    THeadlessHost host(line, backend, rows, csv.get());
    if (csv) {
        try {
            csv->Append(host.HeaderLine());
        } catch (const EFileError &error) {
            Report(messages, std::string("meter-readout: --csv: ") + error.what());
            return HeadlessBadCommandLine;
        }
    }

    TStopSignals signals;
    BTthr = new GLAXBTthr(host, *backend.Platform, synchronizer);
    BTthr->Start();
    BTthr->RequestStart();
    while (!StopSignalled && !host.Finished()) {
        synchronizer.WaitForPending(std::chrono::milliseconds(50));
        synchronizer.CheckSynchronize();
    }
    BTthr->Shutdown();

    if (host.NoRadio()) {
        Report(messages, "BT module not enabled or not installed");
        return HeadlessNoRadio;
    }
    if (host.FileError()) {
        Report(messages, "meter-readout: " + *host.FileError());
        return HeadlessFileFailed;
    }
    if (!line.ReportPdfPath.empty()) {
        try {
            WriteReportPdf(host.Table(), line.ReportPdfPath);
        } catch (const std::runtime_error &error) {
            Report(messages, std::string("meter-readout: --report-pdf: ") + error.what());
            return HeadlessFileFailed;
        }
    }
    return HeadlessDone;
}
