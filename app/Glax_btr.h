// SPDX-License-Identifier: Apache-2.0
// The main window Form4: the readings table, the link indicator, Start/Stop,
// Save, Print and Exit. It is the worker's host on the interface thread, and it
// owns the worker from FormCreate until its close ends it through Shutdown.
#pragma once

#include "app/indicator_shape.h"
#include "app/Unit12.h"
#include "app/window_publishing.h"
#include "link/worker_host.h"
#include "link/worker_owner.h"
#include "link/meter_way.h"
#include "platform/bluetooth/serial_port_service.h"
#include "readings/qt/csv_save_dialog.h"
#include "readings/qt/readings_model.h"
#include "readings/qt/readings_report.h"
#include "readings/session_journal.h"

#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QTableView>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TSynchronizer;

// The window's design: client area and outer widths at 96 dpi.
inline constexpr int Form4ClientWidth = 394;
inline constexpr int Form4ClientHeight = 317;
inline constexpr int Form4OuterWidth = 700;
inline constexpr int Form4ClbOuterWidth = 950;

// Where a window's outer frame goes so that it lies in the area (the screen's
// part that windows may take): no larger than the area, and moved only as far
// as it must be to lie inside it.
QRect FitIntoArea(const QRect &frame, const QRect &area);

class TForm4 : public QWidget, public IWorkerHost {
    Q_OBJECT
public:
    // Builds the window from its design, reads the "clb" rule from `args` (the
    // arguments after the program's name, as the platform split them), then runs
    // FormCreate: the table, the width, the worker on `way` (started, in
    // BTthr) and the caption. `overlay`, `synchronizer` and the route and
    // discovery of `way` must outlive the window.
    // The table has the keyboard first; the window is never made so small that
    // its buttons overlap, and opens no larger than the screen.
    // Every row the table accepts goes to the session journal as `journal`
    // says, and then to the broker that `publishing` names, if any.
    TForm4(const std::vector<std::string> &args, TForm12 &overlay, TSynchronizer &synchronizer,
           const TMeterWay &way, const TJournalOptions &journal,
           const std::optional<TPublishOptions> &publishing = std::nullopt, QWidget *parent = nullptr);
    // Ends the worker through its orderly Shutdown, if it still runs; the close
    // does so too, and so does the window's end.
    void ShutdownWorker();
    // The window's end, by its close or the session's (Windows ends the
    // process as soon as the application has emitted aboutToQuit, and Qt
    // closes the window first): the worker's Shutdown, holding a session's end
    // up meanwhile, within WorkerEndBudget. A worker that will not end in time
    // (a search, a connection the system does not let go of) ends with the
    // process, at once. Does nothing once the worker has ended.
    void EndWorkerInTime();

    // The worker's host operations, on the interface thread.
    void ShowIndicator(TColor color) override;
    // Releasing a stop overlay gives the keyboard back to the control that had
    // it when the stop began.
    void ShowRunState(TRunState state) override;
    void ShowNoRadioError() override;
    // Disables the window and shows it disabled at once, also when the interface
    // thread goes on to wait for the worker's end.
    void ShowStopOverlay() override;
    void AddReading(const TReading &reading) override;

    // The click handlers. Errors leave them (the connections show them in the
    // error box).
    void Button1Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();

    TReadingsModel &Readings() { return *FReadings; }
    const TSessionJournal &Journal() const { return FJournal; }

    // The controls, in the design's order.
    TShape *Shape1;
    QTableView *StringGrid1;
    QPushButton *Button1;
    QPushButton *Button3;
    QPushButton *Button4;
    QPushButton *Button5;
    TCsvSaveDialog SaveDialog1;
    const bool FClbMode;

protected:
    // FormClose: the overlay, the worker's Shutdown, the overlay hidden; the
    // close always goes on.
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void FormCreate();
    // Keeps the design's margins: the grid grows with the window, the indicator
    // and Start, Save, Print stay at the lower left, Exit at the lower right.
    void PlaceControls();
    void SetOuterWidth(int width);
    // Shrinks and moves the window as far as needed to lie on its screen's
    // available area, as at a large scale factor or on a small screen.
    void FitIntoScreen();

    TForm12 &Form12;
    TSynchronizer &FSynchronizer;
    TMeterWay FWay;
    TReadingsModel *FReadings = nullptr;
    std::unique_ptr<TReadingsReport> FReport;  // frxReport1 and frxUserDataSet1
    TSessionJournal FJournal;
    int FOuterWidth = Form4OuterWidth;         // applied again once the frame is known
    bool FShownBefore = false;
    bool FOverlayShownBefore = false;
    bool FStopOverlayUp = false;  // from ShowStopOverlay until ShowRunState releases it
    QPointer<QWidget> FFocusBeforeStop;  // where the keyboard was when the overlay went up
    bool FPaintingOverlay = false;
    bool FClosing = false;
    // Before the worker, so that it is there for the worker's last hand-offs.
    std::unique_ptr<TWindowPublishing> FPublishing;
    // Last, so that it goes first: a worker that still runs when the window goes
    // without being closed ends while the rest of the window serves its hand-offs.
    TWorkerOwner FWorker;
};
