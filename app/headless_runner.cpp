#include "app/headless_runner.h"

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

namespace {

volatile std::sig_atomic_t StopSignalled = 0;

extern "C" void OnStopSignal(int)
{
    StopSignalled = 1;
}

// Installs the stop handlers for the run and puts the old ones back after it.
class TStopSignals {
public:
    TStopSignals()
    {
        StopSignalled = 0;
        FOldInterrupt = std::signal(SIGINT, OnStopSignal);
        FOldTerminate = std::signal(SIGTERM, OnStopSignal);
    }
    ~TStopSignals()
    {
        std::signal(SIGINT, FOldInterrupt);
        std::signal(SIGTERM, FOldTerminate);
    }
    TStopSignals(const TStopSignals &) = delete;
    TStopSignals &operator=(const TStopSignals &) = delete;

private:
    void (*FOldInterrupt)(int);
    void (*FOldTerminate)(int);
};

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
        std::fwrite(line.data(), 1, line.size(), FRows);
        std::fflush(FRows);
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
            std::fprintf(messages, "meter-readout: --csv: %s\n", error.what());
            return HeadlessBadCommandLine;
        }
    }

    TSynchronizer synchronizer;
    THeadlessHost host(line, backend, rows, csv.get());
    if (csv) {
        try {
            csv->Append(host.HeaderLine());
        } catch (const EFileError &error) {
            std::fprintf(messages, "meter-readout: --csv: %s\n", error.what());
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
        std::fprintf(messages, "BT module not enabled or not installed\n");
        return HeadlessNoRadio;
    }
    if (host.FileError()) {
        std::fprintf(messages, "meter-readout: %s\n", host.FileError()->c_str());
        return HeadlessFileFailed;
    }
    if (!line.ReportPdfPath.empty()) {
        try {
            WriteReportPdf(host.Table(), line.ReportPdfPath);
        } catch (const std::runtime_error &error) {
            std::fprintf(messages, "meter-readout: --report-pdf: %s\n", error.what());
            return HeadlessFileFailed;
        }
    }
    return HeadlessDone;
}
