// SPDX-License-Identifier: Apache-2.0
// The main window Form4: the table, the indicator, the buttons, the worker's host.
#include "app/Glax_btr.h"

#include "app/application.h"
#include "app/command_line.h"
#include "app/stop_budget.h"
#include "app/window_font.h"
#include "link/Glaxbththr.h"
#include "platform/ending/process_end.h"
#include "platform/ending/session_end.h"
#include "platform/text/date_time.h"
#include "platform/text/regional_settings.h"
#include "readings/csv_writer.h"
#include "readings/reading_arrival.h"
#include "readings/qt/readings_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <mutex>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

// The design's places (left, top, width, height) at the client size 394 x 317.
constexpr int GridLeft = 8, GridTop = 8, GridRightMargin = 9, GridBottomMargin = 40;
constexpr int BottomMargin = 9, ControlHeight = 25;
constexpr int ShapeLeft = 8, ShapeWidth = 23;
constexpr int Button1Left = 65, Button1Width = 48;
constexpr int Button3Left = 158, Button3Width = 51;
constexpr int Button4Left = 215, Button4Width = 50;
constexpr int Button5RightMargin = 9, Button5Width = 57;
// The design's narrowest gap between two buttons, which Print and Exit keep
// at the window's smallest width.
constexpr int ButtonGap = Button4Left - (Button3Left + Button3Width);
// The table's smallest height shows the header row and one reading.
constexpr int GridMinimumRows = 2;

// How long a newly shown overlay may take to reach the screen before it is
// painted anyway.
constexpr int OverlayExposeWaitMs = 500;

// A push button that Return and Enter press as well as Space, as buttons are
// pressed on Windows. A key held down presses it once.
class TButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
            QPushButton::keyPressEvent(event);
            return;
        }
        event->accept();
        if (!event->isAutoRepeat())
            click();
    }
};

// The main window is a window to assistive technology, which names it by its
// caption (a plain widget would be a mere pane).
QAccessibleInterface *MainWindowAccessible(const QString &, QObject *object)
{
    if (auto *form = qobject_cast<TForm4 *>(object))
        return new QAccessibleWidget(form, QAccessible::Window);
    return nullptr;
}

QPushButton *MakeButton(const QString &caption, const char *name, QWidget *parent)
{
    auto *button = new TButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TForm4::TForm4(const std::vector<std::string> &args, TForm12 &overlay, TSynchronizer &synchronizer,
               const TMeterWay &way, const TJournalOptions &journal,
               const std::optional<TPublishOptions> &publishing, QWidget *parent)
    : QWidget(parent), FClbMode(ClbModeOf(args)), Form12(overlay), FSynchronizer(synchronizer),
      FWay(way), FJournal(journal, LocalNowParts(), FClbMode)
{
    static std::once_flag factoryInstalled;
    std::call_once(factoryInstalled, [] { QAccessible::installFactory(MainWindowAccessible); });
    setObjectName(QStringLiteral("Form4"));
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    resize(Form4ClientWidth, Form4ClientHeight);

    Shape1 = new TShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    Button1 = MakeButton(QStringLiteral("Start"), "Button1", this);
    Button3 = MakeButton(QStringLiteral("Save"), "Button3", this);
    Button4 = MakeButton(QStringLiteral("Print"), "Button4", this);
    Button5 = MakeButton(QStringLiteral("Exit"), "Button5", this);
    setTabOrder(StringGrid1, Button1);
    setTabOrder(Button1, Button3);
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Button5);
    StringGrid1->setAccessibleName(QStringLiteral("Readings"));
    if (publishing) {
        try {
            FPublishing = std::make_unique<TWindowPublishing>(*publishing, FClbMode, *this);
        } catch (const std::runtime_error &error) {
            // A certificate authority file that cannot be read: the readings go on, unpublished.
            QTimer::singleShot(0, this, [message = QString::fromStdString(error.what())] { ShowErrorBox(message); });
        }
    }
    // Exit keeps the design's gap to Print; the table keeps its header row and
    // one reading above the buttons, with room for its sideways scroll bar.
    const int gridMinimumHeight = 2 * StringGrid1->frameWidth() + GridMinimumRows * ReadingsRowHeight +
                                  StringGrid1->horizontalScrollBar()->sizeHint().height();
    setMinimumSize(Button4Left + Button4Width + ButtonGap + Button5Width + Button5RightMargin,
                   GridTop + gridMinimumHeight + GridBottomMargin);
    PlaceControls();

    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button3Click(); }); });
    connect(Button4, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button4Click(); }); });
    connect(Button5, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button5Click(); }); });

    FormCreate();
    StringGrid1->setFocus();
}

void TForm4::ShutdownWorker()
{
    FWorker.Shutdown();
}

void TForm4::EndWorkerInTime()
{
    if (FWorker.Worker() == nullptr)
        return;
    const TSessionEndHold hold(reinterpret_cast<void *>(winId()));
    if (!FWorker.ShutdownBy(std::chrono::steady_clock::now() + WorkerEndBudget))
        EndProcessNow(0);  // the worker still uses the window and the synchronizer
}

void TForm4::FormCreate()
{
    FReadings = new TReadingsModel(FClbMode, this);  // the grid's column count
    SetOuterWidth(FClbMode ? Form4ClbOuterWidth : Form4OuterWidth);
    SetUpReadingsView(*StringGrid1, *FReadings);
    FReport = std::make_unique<TReadingsReport>(FReadings->Table());

    try {
        // A worker whose thread the system refused is no worker: it goes at
        // once, and BTthr stays empty.
        FWorker.Start(*this, FWay, FSynchronizer);
    } catch (...) {
        // Without a worker there is nothing to command and nothing to shut down;
        // the window still opens.
        ShowCurrentError();
    }

    SetApplicationTitle(ProgramTitle);
    setWindowTitle(ApplicationTitle());
}

void TForm4::SetOuterWidth(int width)
{
    FOuterWidth = width;
    // The frame's width is known once the window system has framed the window.
    const int frame = frameGeometry().width() - geometry().width();
    resize(width - frame, height());
}

void TForm4::PlaceControls()
{
    const int w = width();
    const int h = height();
    const int bottomRow = h - BottomMargin - ControlHeight;
    StringGrid1->setGeometry(GridLeft, GridTop, w - GridLeft - GridRightMargin, h - GridTop - GridBottomMargin);
    Shape1->setGeometry(ShapeLeft, bottomRow, ShapeWidth, ControlHeight);
    Button1->setGeometry(Button1Left, bottomRow, Button1Width, ControlHeight);
    Button3->setGeometry(Button3Left, bottomRow, Button3Width, ControlHeight);
    Button4->setGeometry(Button4Left, bottomRow, Button4Width, ControlHeight);
    Button5->setGeometry(w - Button5RightMargin - Button5Width, bottomRow, Button5Width, ControlHeight);
    if (FPublishing) {
        // The broker's state between Print and Exit.
        const int left = Button4Left + Button4Width + ButtonGap;
        FPublishing->Label().setGeometry(left, bottomRow, w - Button5RightMargin - Button5Width - ButtonGap - left,
                                         ControlHeight);
    }
}

QRect FitIntoArea(const QRect &frame, const QRect &area)
{
    const QSize size = frame.size().boundedTo(area.size());
    const int left = std::clamp(frame.left(), area.left(), area.left() + area.width() - size.width());
    const int top = std::clamp(frame.top(), area.top(), area.top() + area.height() - size.height());
    return {QPoint(left, top), size};
}

void TForm4::FitIntoScreen()
{
    const QScreen *desktop = screen();
    if (desktop == nullptr)
        return;
    const QRect frame = frameGeometry();
    const QRect fitted = FitIntoArea(frame, desktop->availableGeometry());
    if (fitted.size() != frame.size())
        resize(size() - (frame.size() - fitted.size()));
    if (fitted.topLeft() != frame.topLeft())
        move(fitted.topLeft());
}

void TForm4::resizeEvent(QResizeEvent *event)
{
    PlaceControls();
    QWidget::resizeEvent(event);
}

void TForm4::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!FShownBefore) {
        FShownBefore = true;
        SetOuterWidth(FOuterWidth);
        FitIntoScreen();
    }
}

void TForm4::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LocaleChange)
        RefreshRegionalSettings();
    QWidget::changeEvent(event);
}

bool TForm4::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
#if defined(Q_OS_WIN)
    if (eventType == "windows_generic_MSG") {
        const MSG &msg = *static_cast<MSG *>(message);
        // WM_WININICHANGE and WM_SETTINGCHANGE are one message.
        if (msg.message == WM_SETTINGCHANGE)
            RefreshRegionalSettings();
        // The session ends (log-off, shutdown): Windows ends the process soon
        // after this message has been answered, so the window closes now, as
        // its close box closes it, and the reading under way is finished.
        if (msg.message == WM_ENDSESSION && msg.wParam != FALSE)
            close();
    }
#endif
    return QWidget::nativeEvent(eventType, message, result);
}

void TForm4::ShowIndicator(TColor color)
{
    Shape1->SetBrushColor(color);
}

void TForm4::ShowRunState(TRunState state)
{
    Button1->setText(state == TRunState::Idle ? QStringLiteral("Start") : QStringLiteral("Stop"));
    // The overlay may still be on its way up (ShowStopOverlay paints it before
    // it disables this window); it is released all the same.
    if (isEnabled() && !FStopOverlayUp)
        return;
    FStopOverlayUp = false;
    Form12.hide();
    setEnabled(true);
    raise();
    activateWindow();
    // Disabling the window took the focus from its controls.
    QWidget *focus = FFocusBeforeStop != nullptr ? FFocusBeforeStop.data() : StringGrid1;
    focus->setFocus(Qt::OtherFocusReason);
}

void TForm4::ShowNoRadioError()
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QStringLiteral("BT module not enabled or not installed"), QMessageBox::Ok);
    ExecMessageBox(box);
}

void TForm4::ShowStopOverlay()
{
    if (!FStopOverlayUp)
        FFocusBeforeStop = focusWidget();
    FStopOverlayUp = true;
    const QRect mainFrame = frameGeometry();
    const QSize overlayFrame = Form12.frameGeometry().size();
    if (FOverlayShownBefore) {
        Form12.move(StopOverlayPosition(mainFrame, overlayFrame));
    } else {
        FOverlayShownBefore = true;
        const QScreen *desktop = screen();
        Form12.move(FirstShowOverlayPosition(mainFrame, overlayFrame,
                                             desktop != nullptr ? desktop->availableGeometry() : QRect()));
    }
    Form12.show();

    // Paint it now, so its text is on the screen before the wait begins. A new
    // window paints only once the window system has exposed it.
    FPaintingOverlay = true;
    QElapsedTimer waited;
    waited.start();
    while (Form12.windowHandle() != nullptr && !Form12.windowHandle()->isExposed() &&
           waited.elapsed() < OverlayExposeWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    Form12.repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    FPaintingOverlay = false;

    // A ShowRunState that ran meanwhile has released the overlay already.
    if (FStopOverlayUp) {
        setEnabled(false);
        // Closing waits for the worker next, without painting: the window shows
        // itself disabled now.
        repaint();
    }
}

void TForm4::AddReading(const TReading &reading)
{
    const auto appendRow = [&](const TRegionalSettings &settings) { return FReadings->AddReading(reading, settings); };
    const TArrivedReading arrived = ReadingReachesTable(appendRow, FReadings->Table(), FJournal);
    if (arrived.JournalFailure) {
        // Shown once this hand-off is over: a box opened inside it would hold
        // the worker until the operator closed it, and acquisition goes on.
        QTimer::singleShot(0, this, [message = QString::fromStdString(*arrived.JournalFailure)] { ShowErrorBox(message); });
    }
    if (FPublishing)
        FPublishing->Publish(arrived.Row, reading, FJournal.Path());
}

void TForm4::Button1Click()
{
    if (BTthr == nullptr)
        return;
    if (BTthr->IsActive())
        BTthr->RequestStop();
    else
        BTthr->RequestStart();
}

void TForm4::Button3Click()
{
    const std::optional<QString> path = SaveDialog1.Execute(this);
    if (!path)
        return;
    // In the system's own spelling, as the file error's message shows it.
    SaveCsv(FReadings->Table(), FClbMode, QDir::toNativeSeparators(*path).toStdString(), CurrentRegionalSettings());
}

void TForm4::Button4Click()
{
    FReport->Button4Click(this);
}

void TForm4::Button5Click()
{
    close();
}

void TForm4::closeEvent(QCloseEvent *event)
{
    if (FPaintingOverlay) {
        // A close that arrives while the overlay is being painted waits until
        // the step under way has finished.
        event->ignore();
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    if (FClosing) {
        event->ignore();  // already waiting for the worker
        return;
    }
    FClosing = true;
    ShowStopOverlay();
    EndWorkerInTime();
    Form12.hide();
    event->accept();  // the program ends; FClosing stays set
}
