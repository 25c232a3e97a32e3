// SPDX-License-Identifier: Apache-2.0
#include "app/headless_runner.h"

#include "app/console_output.h"
#include "app/headless_stop.h"
#include "app/publish_option.h"

#include "link/worker_owner.h"
#include "platform/ending/process_end.h"
#include "platform/sockets/host_name.h"
#include "platform/text/date_time.h"
#include "platform/files/durable_append_file.h"
#include "platform/text/regional_settings.h"
#include "platform/threads/synchronize.h"
#include "readings/csv_writer.h"
#include "readings/qt/readings_report.h"
#include "readings/reading_arrival.h"
#include "readings/reading_columns.h"
#include "readings/reading_row.h"
#include "readings/session_journal.h"

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

void Report(std::FILE *messages, const std::string &text)
{
    WriteOutput(messages, text + "\n", TTextEncoding::Utf8);
}

class THeadlessHost : public IWorkerHost {
public:
    THeadlessHost(const TCommandLine &line, TMeterBackend &backend, std::FILE *rows, std::FILE *messages)
        : FLine(line), FBackend(backend), FRows(rows), FMessages(messages),
          FTable(ColumnCountFor(line.ClbMode)), FSeparator(CsvListSeparator(CurrentRegionalSettings())),
          FJournal(JournalOptionsOf(line), LocalNowParts(), line.ClbMode)
    {
        SetUpReadingsTable(FTable, line.ClbMode);
    }

    std::string HeaderLine() const { return Line(0); }
    // The CSV file each row goes to, once it has its header; none: no --csv.
    void UseCsv(TDurableAppendFile *csv) { FCsv = csv; }
    // Where each row is published after it is on the disk; none: no --publish.
    void UsePublisher(TPublisher *publisher) { FPublisher = publisher; }
    const TReadingsTable &Table() const { return FTable; }
    long Accepted() const { return FAccepted; }
    bool NoRadio() const { return FNoRadio; }
    const std::optional<std::string> &FileError() const { return FFileError; }
    bool Finished() const
    {
        return FNoRadio || FFileError || (FLine.Count && FAccepted >= *FLine.Count) || FBackend.MessagesDone();
    }

    void ShowIndicator(TColor) override {}
    void ShowRunState(TRunState) override {}
    void ShowStopOverlay() override {}
    void ShowNoRadioError() override { FNoRadio = true; }

    void AddReading(const TReading &reading) override
    {
        const auto appendRow = [&](const TRegionalSettings &settings) {
            return AddReadingToTable(FTable, reading, FLine.ClbMode, settings);
        };
        const TArrivedReading arrived = ReadingReachesTable(appendRow, FTable, FJournal);
        ++FAccepted;
        const std::string line = Line(arrived.Row);
        // The files first: a row on standard output is always on the disk, even
        // when the process is killed the moment it has printed it.
        if (FCsv && !FFileError) {
            try {
                FCsv->Append(line);
            } catch (const EFileError &error) {
                // The worker would swallow it with the reading; the run must end instead.
                FFileError = error.what();
            }
        }
        if (arrived.JournalFailure)
            Report(FMessages, "meter-readout: " + *arrived.JournalFailure);  // once; the run goes on without it
        if (FPublisher != nullptr) {
            if (const std::optional<std::string> failure = FPublisher->Publish(arrived.Row, reading, FJournal.Path()))
                Report(FMessages, "meter-readout: " + *failure);  // once
        }
        if (!FFileError)
            WriteOutput(FRows, line, TTextEncoding::Ansi);
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
    std::FILE *FMessages;
    TDurableAppendFile *FCsv = nullptr;
    TPublisher *FPublisher = nullptr;
    TReadingsTable FTable;
    const std::string FSeparator;  // one for the whole run, so every line agrees
    TSessionJournal FJournal;
    long FAccepted = 0;
    bool FNoRadio = false;
    std::optional<std::string> FFileError;
};

// What a headless run says of the broker on standard error: one line when it
// is reached or lost, and the one message for a failure a person must mend.
class THeadlessBrokerReport : public IPublishListener {
public:
    explicit THeadlessBrokerReport(std::FILE *messages) : FMessages(messages) {}
    void BrokerStateChanged(const TBrokerState &state) override
    {
        if (FConnected && *FConnected == state.Connected)
            return;  // only the count of waiting readings changed
        FConnected = state.Connected;
        Report(FMessages, "meter-readout: " + BrokerStateText(state));
    }
    void BrokerProblem(const std::string &message) override { Report(FMessages, "meter-readout: " + message); }

private:
    std::FILE *FMessages;
    std::optional<bool> FConnected;
};

// How long the end of a run waits for the broker to acknowledge the last
// readings; what it has not acknowledged by then waits in the outbox.
constexpr std::chrono::milliseconds DeliveryPatience{2000};

// The report must become a new file in an existing folder. The atomic file
// that writes it at the end checks exactly that; asked now, it lets a bad
// --report-pdf fail before anything has started, not after a day's readings.
void CheckReportTarget(const std::string &path)
{
    TAtomicFile probe;
    probe.Open(path, TReplace::Never);
}

// The checks of the output files before anything starts: the report's place,
// the CSV file made with its header line. Returns the message for a bad one.
std::optional<std::string> OpenOutputFiles(const TCommandLine &line, const std::string &header,
                                           std::unique_ptr<TDurableAppendFile> &csv)
{
    if (!line.ReportPdfPath.empty()) {
        try {
            CheckReportTarget(line.ReportPdfPath);
        } catch (const EFileError &error) {
            return std::string("--report-pdf: ") + error.what();
        }
    }
    if (line.CsvPath.empty())
        return std::nullopt;
    try {
        csv = std::make_unique<TDurableAppendFile>(line.CsvPath, header);
    } catch (const EFileError &error) {
        return std::string("--csv: ") + error.what();
    }
    std::optional<std::string> failure;
    if (!line.ReportPdfPath.empty()) {
        // The report's name was free a moment ago: taken now, it names the CSV
        // file (however the two paths are spelled).
        try {
            CheckReportTarget(line.ReportPdfPath);
        } catch (const EFileExists &) {
            failure = "--report-pdf: \"" + line.ReportPdfPath + "\" is the file --csv writes";
        } catch (const EFileError &error) {
            failure = std::string("--report-pdf: ") + error.what();
        }
    }
    if (failure) {
        csv->Remove();  // the report would have had to replace it
        csv.reset();
    }
    return failure;
}

// What the run ends with once its worker has ended: the report, the status.
int FinishRun(const TCommandLine &line, const THeadlessHost &host, const THeadlessStop &stop, std::FILE *messages,
              const std::function<void()> &prepareReport)
{
    if (host.NoRadio()) {
        Report(messages, "BT module not enabled or not installed");
        return HeadlessNoRadio;
    }
    if (host.FileError()) {
        Report(messages, "meter-readout: " + *host.FileError());
        return HeadlessFileFailed;
    }
    if (line.ReportPdfPath.empty())
        return HeadlessDone;
    // When the system ends the process soon after the stop, a report that is
    // not drawn in time is not written at all, never cut short.
    const auto inTime = [&stop] {
        const auto stoppedAt = stop.RequestedAt();
        return !stoppedAt || !stop.Enforced() || std::chrono::steady_clock::now() < *stoppedAt + ReportWriteBudget;
    };
    try {
        prepareReport();
        if (WriteReportPdf(host.Table(), line.ReportPdfPath, inTime))
            return HeadlessDone;
        Report(messages, "meter-readout: --report-pdf: not written: the run was ended before the report was ready");
    } catch (const std::runtime_error &error) {
        Report(messages, std::string("meter-readout: --report-pdf: ") + error.what());
    }
    return HeadlessFileFailed;
}

} // namespace

int RunHeadless(const TCommandLine &line, TMeterBackend &backend, std::FILE *rows, std::FILE *messages,
                const std::function<void()> &prepareReport)
{
    std::unique_ptr<TDurableAppendFile> csv;
    TSynchronizer synchronizer;
    THeadlessHost host(line, backend, rows, messages);
    if (const std::optional<std::string> failure = OpenOutputFiles(line, host.HeaderLine(), csv)) {
        Report(messages, "meter-readout: " + *failure);
        return HeadlessBadCommandLine;
    }
    host.UseCsv(csv.get());

    THeadlessBrokerReport brokerReport(messages);
    std::unique_ptr<TPublisher> publisher;
    try {
        if (const std::optional<TPublishOptions> publishing = PublishOptionsOf(line)) {
            const std::string program = VersionLine();
            publisher = std::make_unique<TPublisher>(
                *publishing, TPublishingRun{LocalNowParts(), HostName(), program.substr(0, program.find('\n')), line.ClbMode},
                brokerReport);
        }
    } catch (const ECommandLineError &error) {
        Report(messages, std::string("meter-readout: ") + error.what());
        return HeadlessBadCommandLine;
    } catch (const std::runtime_error &error) {
        Report(messages, std::string("meter-readout: ") + error.what());  // a --publish-ca that cannot be read
        return HeadlessBadCommandLine;
    }
    host.UsePublisher(publisher.get());

    THeadlessStop stop;
    TWorkerOwner worker;
    try {
        worker.Start(host, backend.Way(), synchronizer);
    } catch (const std::system_error &error) {
        Report(messages, std::string("meter-readout: cannot start the acquisition thread: ") + error.what());
        return HeadlessFileFailed;
    }
    BTthr->RequestStart();
    while (!stop.RequestedAt() && !host.Finished()) {
        synchronizer.WaitForPending(std::chrono::milliseconds(50));
        synchronizer.CheckSynchronize();
    }
    // A stop does not wait for a search or a connection that the system does
    // not let go of; the files are whole whenever the worker is not in a hand-off.
    bool workerEnded = true;
    if (const auto stoppedAt = stop.RequestedAt())
        workerEnded = worker.ShutdownBy(*stoppedAt + WorkerEndBudget);
    else
        worker.Shutdown();
    const int status = FinishRun(line, host, stop, messages, prepareReport);
    // The last readings' acknowledgements, unless the run was stopped: then
    // the outbox keeps what the broker has not acknowledged.
    if (publisher && !stop.RequestedAt())
        publisher->WaitUntilDelivered(DeliveryPatience);
    publisher.reset();
    if (!workerEnded)
        EndProcessNow(status);  // the worker still uses the host, the way and the synchronizer
    return status;
}
