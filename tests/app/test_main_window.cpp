// SPDX-License-Identifier: Apache-2.0
#include "app/application.h"
#include "link/Glaxbththr.h"
#include "link/meter_identity.h"
#include "platform/text/regional_settings.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_io.h"
#include "readings/csv_writer.h"
#include "readings/qt/readings_view.h"
#include "readings/reading_columns.h"
#include "tests/app/window_rig.h"
#include "tests/support/scratch_folder.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using namespace std::chrono_literals;

constexpr int WaitMs = 10000;

// ---- the window's design ---------------------------------------------------

struct TClbCase {
    std::vector<std::string> args;
    int outerWidth;
    int columns;
};

class ClbStartUp : public testing::TestWithParam<TClbCase> {};

TEST_P(ClbStartUp, OnlyExactlyClbFirstOpensTheWideWindowWithRawColumns)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio(), GetParam().args);
    rig.form4.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.form4));
    // No wider than the screen has room for, should the screen be narrower.
    const QRect screen = rig.form4.screen()->availableGeometry();
    EXPECT_EQ(rig.form4.frameGeometry().width(), std::min(GetParam().outerWidth, screen.width()));
    EXPECT_TRUE(screen.contains(rig.form4.frameGeometry()));
    EXPECT_EQ(rig.form4.Readings().columnCount(), GetParam().columns);
    EXPECT_EQ(rig.form4.height(), Form4ClientHeight);
}

INSTANTIATE_TEST_SUITE_P(Arguments, ClbStartUp,
                         testing::Values(TClbCase{{"clb"}, 950, 14}, TClbCase{{"clb", "x"}, 950, 14},
                                         TClbCase{{}, 700, 10}, TClbCase{{"CLB"}, 700, 10},
                                         TClbCase{{"-clb"}, 700, 10}, TClbCase{{"/clb"}, 700, 10},
                                         TClbCase{{"clbx"}, 700, 10}, TClbCase{{"x", "clb"}, 700, 10}));

class ControlPlaces : public testing::TestWithParam<QSize> {};

TEST_P(ControlPlaces, KeepTheDesignsMarginsAtAnySize)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    rig.form4.show();
    rig.form4.resize(GetParam());
    const int w = GetParam().width();
    const int h = GetParam().height();
    EXPECT_EQ(rig.form4.StringGrid1->geometry(), QRect(8, 8, w - 17, h - 48));
    EXPECT_EQ(rig.form4.Shape1->geometry(), QRect(8, h - 34, 23, 25));
    EXPECT_EQ(rig.form4.Button1->geometry(), QRect(65, h - 34, 48, 25));
    EXPECT_EQ(rig.form4.Button3->geometry(), QRect(158, h - 34, 51, 25));
    EXPECT_EQ(rig.form4.Button4->geometry(), QRect(215, h - 34, 50, 25));
    EXPECT_EQ(rig.form4.Button5->geometry(), QRect(w - 66, h - 34, 57, 25));
}

// The designed client size, the widths the window is created with, and sizes
// the operator may drag it to.
INSTANTIATE_TEST_SUITE_P(Sizes, ControlPlaces,
                         testing::Values(QSize(394, 317), QSize(700, 317), QSize(950, 317), QSize(820, 560),
                                         QSize(350, 200)));

class SmallestSize : public testing::TestWithParam<QSize> {};

TEST_P(SmallestSize, KeepsEveryButtonWholeAndApartBelowTheTable)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    TForm4 &form = rig.form4;
    form.show();
    form.resize(GetParam());
    const QRect client = form.rect();
    EXPECT_EQ(form.size(), form.size().expandedTo(form.minimumSize()));
    // Along the bottom, left to right, each one clear of the next.
    const std::vector<QWidget *> row{form.Shape1, form.Button1, form.Button3, form.Button4, form.Button5};
    for (std::size_t i = 0; i < row.size(); ++i) {
        SCOPED_TRACE(row[i]->objectName().toStdString());
        EXPECT_TRUE(client.contains(row[i]->geometry()));
        EXPECT_LT(form.StringGrid1->geometry().bottom(), row[i]->geometry().top());
        if (i + 1 < row.size()) {
            EXPECT_LT(row[i]->geometry().right() + 1, row[i + 1]->geometry().left());
        }
    }
    // The table keeps its header row and a reading in view.
    EXPECT_GE(form.StringGrid1->viewport()->height(), 2 * ReadingsRowHeight);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SmallestSize,
                         testing::Values(QSize(1, 1), QSize(200, 100), QSize(300, 317), QSize(700, 60)));

struct TFitCase {
    QRect frame;
    QRect area;
    QRect fitted;
};

class FitIntoTheScreen : public testing::TestWithParam<TFitCase> {};

TEST_P(FitIntoTheScreen, ShrinksAndMovesTheFrameOnlyAsFarAsItMust)
{
    EXPECT_EQ(FitIntoArea(GetParam().frame, GetParam().area), GetParam().fitted);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FitIntoTheScreen,
    testing::Values(
        // Room enough: left where the system placed it.
        TFitCase{{100, 50, 700, 356}, {0, 0, 1920, 1040}, {100, 50, 700, 356}},
        // 950 pixels at twice the scale on a 1366-pixel screen: 683 wide.
        TFitCase{{20, 30, 950, 356}, {0, 0, 683, 384}, {0, 28, 683, 356}},
        // Too tall as well, on a screen whose area starts below a panel.
        TFitCase{{0, 0, 700, 356}, {0, 24, 640, 300}, {0, 24, 640, 300}},
        // Hanging off the right and bottom: moved back in.
        TFitCase{{1500, 900, 700, 356}, {0, 0, 1920, 1040}, {1220, 684, 700, 356}},
        // A second screen to the left of the first.
        TFitCase{{-2000, 10, 700, 356}, {-1280, 0, 1280, 1024}, {-1280, 10, 700, 356}}));

TEST(MainWindow, DesignedTitleCaptionsTabOrderAndGreyIndicator)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    EXPECT_EQ(rig.form4.windowTitle(), QStringLiteral("Moisture Meter BT readout 1.3.0"));
    EXPECT_EQ(ApplicationTitle(), rig.form4.windowTitle());
    EXPECT_EQ(rig.form4.Button1->text(), "Start");
    EXPECT_EQ(rig.form4.Button3->text(), "Save");
    EXPECT_EQ(rig.form4.Button4->text(), "Print");
    EXPECT_EQ(rig.form4.Button5->text(), "Exit");
    EXPECT_EQ(rig.form4.Shape1->BrushColor(), SystemGrayText);
    EXPECT_EQ(rig.form12.Panel1->text(), "Shuting down.... please wait");
    EXPECT_EQ(rig.form12.size(), QSize(189, 56));
    EXPECT_FALSE(rig.form12.isVisible());

    std::vector<QWidget *> order;
    QWidget *widget = rig.form4.StringGrid1;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != rig.form4.StringGrid1 && order.size() < 10);
    EXPECT_EQ(order, (std::vector<QWidget *>{rig.form4.StringGrid1, rig.form4.Button1, rig.form4.Button3,
                                             rig.form4.Button4, rig.form4.Button5}));
}

TEST(MainWindow, CarriesTheProgramsIcon)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    const QIcon icon = rig.form4.windowIcon();
    ASSERT_FALSE(icon.isNull());
    // The sizes of the program file's icon, read from it.
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32), QSize(48, 48)}));
    EXPECT_EQ(icon.pixmap(32).toImage(), ProgramIcon().pixmap(32).toImage());
}

// ---- what assistive technology reads -----------------------------------------

QAccessibleInterface *Accessible(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    EXPECT_NE(iface, nullptr);
    return iface;
}

TEST(Accessibility, ButtonsAreNamedByTheirCaptionsAndTheIndicatorIsAStatusBarOfTheWindow)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    TForm4 &form = rig.form4;
    form.show();
    for (QPushButton *button : {form.Button1, form.Button3, form.Button4, form.Button5}) {
        EXPECT_EQ(Accessible(button)->role(), QAccessible::Button);
        EXPECT_EQ(Accessible(button)->text(QAccessible::Name), button->text());
    }
    QAccessibleInterface *indicator = Accessible(form.Shape1);
    EXPECT_EQ(indicator->role(), QAccessible::StatusBar);
    EXPECT_EQ(indicator->text(QAccessible::Name), "Link idle");
    // Reached from the window, as a screen reader walks it; the window is one,
    // named by its caption.
    QAccessibleInterface *window = Accessible(&form);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), form.windowTitle());
    EXPECT_GE(window->indexOfChild(indicator), 0);
    EXPECT_EQ(Accessible(form.StringGrid1)->role(), QAccessible::Table);
}

struct TLinkStateCase {
    TColor color;
    QString name;
};

class IndicatorName : public testing::TestWithParam<TLinkStateCase> {};

TEST_P(IndicatorName, SaysTheLinkStateOfEachColour)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    // From another colour, so that each case is a change.
    rig.form4.ShowIndicator(GetParam().color == IndicatorRed ? IndicatorBlue : IndicatorRed);
    rig.form4.ShowIndicator(GetParam().color);
    EXPECT_EQ(Accessible(rig.form4.Shape1)->text(QAccessible::Name), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Colours, IndicatorName,
                         testing::Values(TLinkStateCase{IndicatorGrey, "Link idle"},
                                         TLinkStateCase{IndicatorBlue, "Searching for the meter"},
                                         TLinkStateCase{IndicatorRed, "Connected to the meter"},
                                         TLinkStateCase{IndicatorYellow, "Meter answered"}));

// ---- acquisition from the window ---------------------------------------------

TEST(MainWindow, StartTurnsTheCaptionToStopAndTheIndicatorBlue)
{
    // Radios without the meter: the worker searches and stays blue.
    TWindowRig rig(TSimulatedBluetooth::RadiosWithoutDevices());
    rig.form4.show();
    rig.form4.Button1->click();
    EXPECT_EQ(rig.form4.Button1->text(), "Start") << "the caption follows the worker, not the click";
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.form4.Button1->text() == "Stop"; }, WaitMs));
    EXPECT_EQ(rig.form4.Shape1->BrushColor(), IndicatorBlue);
}

TEST(MainWindow, StopShowsTheOverlayCentredOverTheDisabledWindowUntilTheWorkerStops)
{
    TWindowRig rig(TSimulatedBluetooth::LookAlikesOnly(MeterDeviceNameView));
    TSimulatedBluetooth &platform = *rig.computer;
    platform.SetHold(true);  // each discovery waits for the test
    rig.form4.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.form4));
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.Counts().Discoveries >= 1; }, WaitMs));

    rig.form4.Button1->click();  // Stop, while the discovery is under way
    EXPECT_TRUE(rig.form12.isVisible());
    EXPECT_FALSE(rig.form4.isEnabled());
    EXPECT_EQ(rig.form4.Button1->text(), "Stop");
    const QPoint overlayCentre = rig.form12.frameGeometry().center();
    const QPoint windowCentre = rig.form4.frameGeometry().center();
    EXPECT_LE(std::abs(overlayCentre.x() - windowCentre.x()), 1);
    EXPECT_LE(std::abs(overlayCentre.y() - windowCentre.y()), 1);

    platform.SetHold(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.form4.isEnabled(); }, WaitMs));
    EXPECT_FALSE(rig.form12.isVisible());
    EXPECT_EQ(rig.form4.Button1->text(), "Start");
    EXPECT_EQ(rig.form4.Shape1->BrushColor(), IndicatorGrey);
    EXPECT_TRUE(rig.form4.isVisible()) << "a stop does not end the program";
    EXPECT_NE(BTthr, nullptr);
}

TEST(MainWindow, NoRadioShowsTheErrorBoxOnceAndTheButtonReadsStart)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    TBoxCloser closer;
    rig.form4.show();
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen.empty(); }, WaitMs));
    // A worker that came round its loop twice since would have shown a second
    // box by now, had it gone on searching.
    ASSERT_NE(BTthr, nullptr);
    const std::uint64_t checks = BTthr->CommandChecks();
    ASSERT_TRUE(QTest::qWaitFor([&] { return BTthr->CommandChecks() >= checks + 2; }, WaitMs))
        << "the worker does not come back to its commands";
    ASSERT_EQ(closer.seen.size(), 1u);
    EXPECT_EQ(closer.seen[0].title, "Error");
    EXPECT_EQ(closer.seen[0].text, "BT module not enabled or not installed");
    EXPECT_EQ(closer.seen[0].icon, QMessageBox::Critical);
    EXPECT_EQ(rig.form4.Button1->text(), "Start");
    EXPECT_EQ(rig.form4.Shape1->BrushColor(), IndicatorGrey);
}

// ---- the session journal ---------------------------------------------------

// A simulated computer whose meter answers every request, without the
// exchange's fixed pauses, so that rows come quickly.
struct TAnsweringMeter {
    TPauseScaleGuard fast{0};
    TSimulatedMeter meter{[] {
        TMeterOptions options;
        options.Record = false;
        return options;
    }()};
    TSimulatedBluetooth radios{TSimulatedBluetooth::MeterOnSecondRadio(MeterDeviceNameView), meter};
};

TEST(MainWindow, JournalHoldsWhatSaveWouldWriteAfterEveryRow)
{
    TScratchFolder folder("window-test");
    TAnsweringMeter computer;
    TWindowRig rig({"clb"}, computer.radios, TJournalOptions{true, folder.File("journal")});
    rig.form4.show();
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.form4.Readings().rowCount() >= 4; }, WaitMs));
    // Read on the interface thread, between hand-offs: the table and the
    // journal stand still meanwhile.
    const std::string saved = folder.File("saved.csv");
    SaveCsv(rig.form4.Readings().Table(), true, saved, CurrentRegionalSettings());
    EXPECT_EQ(FileContents(rig.form4.Journal().Path()), FileContents(saved));
    std::vector<std::string> names = folder.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"journal", "saved.csv"}));
}

TEST(MainWindow, AJournalThatCannotBeMadeIsReportedOnceWhileAcquisitionGoesOn)
{
    TScratchFolder folder("window-test");
    WriteFileContents(folder.File("in-the-way"), "a file where the journal folder should be");
    TAnsweringMeter computer;
    TWindowRig rig({}, computer.radios, TJournalOptions{true, folder.File("in-the-way") + "/journal"});

    // The box runs its own loop; it is watched from a timer inside that loop
    // and closed once two more readings have come in while it was up.
    std::vector<TSeenBox> seen;
    int rowsWhenShown = 0;
    bool rowsCameWhileUp = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        const int rows = rig.form4.Readings().rowCount();
        if (rowsWhenShown == 0) {
            rowsWhenShown = rows;
            seen.push_back({box->windowTitle(), box->text(), box->icon()});
        } else if (rows >= rowsWhenShown + 2) {
            rowsCameWhileUp = true;
            rowsWhenShown = 0;
            box->done(QMessageBox::Ok);
        }
    });
    watch.start(20);
    rig.form4.show();
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowsCameWhileUp; }, WaitMs));
    const int rowsAfterBox = rig.form4.Readings().rowCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.form4.Readings().rowCount() >= rowsAfterBox + 3; }, WaitMs));

    ASSERT_EQ(seen.size(), 1u) << "reported again: " << seen.back().text.toStdString();
    EXPECT_EQ(seen[0].title, ApplicationTitle());
    EXPECT_EQ(seen[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(seen[0].text.contains("journal is off")) << seen[0].text.toStdString();
    EXPECT_TRUE(seen[0].text.contains(QString::fromStdString(folder.File("in-the-way")))) << seen[0].text.toStdString();
}

// ---- the end ---------------------------------------------------------------

enum class TCloseBy { ExitButton, CloseBox };

class Closing : public testing::TestWithParam<TCloseBy> {
protected:
    static void Close(TForm4 &form)
    {
        if (GetParam() == TCloseBy::ExitButton)
            form.Button5->click();
        else
            form.close();  // the close box and the system's close command send the same close
    }
};

TEST_P(Closing, WhileIdleEndsTheWorkerPromptlyAndClosesTheWindow)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    rig.form4.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.form4));
    ASSERT_NE(BTthr, nullptr);
    QElapsedTimer timer;
    timer.start();
    Close(rig.form4);
    EXPECT_LT(timer.elapsed(), 3000) << "the idle worker sees its stop event within about 10 ms";
    EXPECT_EQ(BTthr, nullptr);
    EXPECT_FALSE(rig.form4.isVisible());
    EXPECT_FALSE(rig.form12.isVisible());
}

// Notes, at each indicator change, whether the overlay was up over a disabled window.
class TObservedForm4 : public TForm4 {
public:
    TObservedForm4(const std::vector<std::string> &args, TForm12 &overlay, TSynchronizer &synchronizer,
                   const TMeterWay &way, const TJournalOptions &journal)
        : TForm4(args, overlay, synchronizer, way, journal), FOverlay(overlay)
    {
    }
    // Runs once the stop overlay is up, before the close waits for the worker.
    std::function<void()> onStopOverlayUp;
    void ShowStopOverlay() override
    {
        TForm4::ShowStopOverlay();
        if (onStopOverlayUp)
            onStopOverlayUp();
    }
    void ShowIndicator(TColor color) override
    {
        if (color == IndicatorGrey) {
            greyWhileOverlayUp.push_back(FOverlay.isVisible() && !isEnabled());
            exitOnScreenWhileOverlayUp.push_back(ExitOnScreen());
        }
        TForm4::ShowIndicator(color);
    }
    // The Exit button as the window last painted it on the screen.
    QImage ExitOnScreen() const
    {
        const QRect exit = Button5->geometry();
        return screen()->grabWindow(winId(), exit.x(), exit.y(), exit.width(), exit.height()).toImage();
    }
    std::vector<bool> greyWhileOverlayUp;
    std::vector<QImage> exitOnScreenWhileOverlayUp;

private:
    TForm12 &FOverlay;
};

TEST_P(Closing, DuringADiscoveryKeepsTheOverlayUpUntilTheWorkerHasEnded)
{
    TWindowRig<TObservedForm4> rig(TSimulatedBluetooth::LookAlikesOnly(MeterDeviceNameView));
    TSimulatedBluetooth &platform = *rig.computer;
    platform.SetHold(true);
    rig.form4.show();
    rig.form4.Button1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.Counts().Discoveries >= 1; }, WaitMs));
    rig.form4.greyWhileOverlayUp.clear();
    rig.form4.exitOnScreenWhileOverlayUp.clear();
    rig.form4.repaint();
    const QImage exitEnabled = rig.form4.ExitOnScreen();

    // The discovery under way may end only once the close has begun.
    rig.form4.onStopOverlayUp = [&] { platform.SetHold(false); };
    Close(rig.form4);

    EXPECT_EQ(platform.Calls().back(), "FindRadioClose radios") << "the close waits for the discovery under way";
    EXPECT_EQ(BTthr, nullptr);
    EXPECT_EQ(rig.form4.greyWhileOverlayUp, std::vector<bool>{true})
        << "the worker's last indicator change came while the overlay covered the disabled window";
    ASSERT_EQ(rig.form4.exitOnScreenWhileOverlayUp.size(), 1u);
    EXPECT_NE(rig.form4.exitOnScreenWhileOverlayUp[0], exitEnabled)
        << "while the program ends, the window shows itself disabled";
    EXPECT_FALSE(rig.form12.isVisible());
    EXPECT_FALSE(rig.form4.isVisible());
    EXPECT_EQ(rig.form4.Button1->text(), "Stop") << "the shutdown leaves the caption alone";
}

INSTANTIATE_TEST_SUITE_P(Ways, Closing, testing::Values(TCloseBy::ExitButton, TCloseBy::CloseBox));

// ---- the error box and the overlay's placement -------------------------------

struct TTextCase {
    QString message;
    QString shown;
};

class ErrorBoxFullStop : public testing::TestWithParam<TTextCase> {};

TEST_P(ErrorBoxFullStop, IsAddedOnlyAfterACharacterAboveTheFullStop)
{
    EXPECT_EQ(ErrorBoxText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ErrorBoxFullStop,
    testing::Values(TTextCase{"", ""}, TTextCase{"Cannot create file", "Cannot create file."},
                    TTextCase{"Done.", "Done."}, TTextCase{"Why?", "Why?."}, TTextCase{"code 42", "code 42."},
                    TTextCase{"(see above)", "(see above)"}, TTextCase{"a-", "a-"}, TTextCase{"a/", "a/."},
                    TTextCase{"trailing ", "trailing "}, TTextCase{"Ende \u00B0", "Ende \u00B0."},
                    TTextCase{"Wert!", "Wert!"}));

struct TThrowCase {
    std::function<void()> work;
    QString shown;
};

class HandlerErrors : public testing::TestWithParam<TThrowCase> {};

TEST_P(HandlerErrors, ReachTheErrorBoxAndTheProgramCarriesOn)
{
    SetApplicationTitle(QStringLiteral("Readout title"));
    TBoxCloser closer;
    RunGuarded(GetParam().work);  // returns: the error stops here
    ASSERT_EQ(closer.seen.size(), 1u);
    EXPECT_EQ(closer.seen[0].title, "Readout title");
    EXPECT_EQ(closer.seen[0].text, GetParam().shown);
    EXPECT_EQ(closer.seen[0].icon, QMessageBox::Critical);
}

INSTANTIATE_TEST_SUITE_P(
    Thrown, HandlerErrors,
    testing::Values(TThrowCase{[] { throw std::runtime_error("Cannot create file x.csv"); },
                               "Cannot create file x.csv."},
                    TThrowCase{[] { throw std::runtime_error("Cannot create file \"x.csv\""); },
                               "Cannot create file \"x.csv\""},
                    TThrowCase{[] { throw 42; }, ""}));

struct TPlacementCase {
    QRect mainFrame;
    QSize overlay;
    QRect desktop;
    QPoint everyShow;  // by the shift
    QPoint firstShow;  // by the stored placement
};

class OverlayPlacement : public testing::TestWithParam<TPlacementCase> {};

TEST_P(OverlayPlacement, CentresByShiftAndFirstShowKeepsToTheDesktop)
{
    const TPlacementCase &c = GetParam();
    EXPECT_EQ(StopOverlayPosition(c.mainFrame, c.overlay), c.everyShow);
    EXPECT_EQ(FirstShowOverlayPosition(c.mainFrame, c.overlay, c.desktop), c.firstShow);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, OverlayPlacement,
    testing::Values(
        // 700 x 356 at (100, 50): (511 >> 1) = 255, (300 >> 1) = 150.
        TPlacementCase{{100, 50, 700, 356}, {189, 56}, {0, 0, 1920, 1080}, {355, 200}, {355, 200}},
        // Smaller than the overlay: the shift rounds down, the division towards zero.
        TPlacementCase{{300, 300, 100, 40}, {189, 56}, {0, 0, 1920, 1080}, {255, 292}, {256, 292}},
        // Near the desktop's corner the first showing stays on it.
        TPlacementCase{{-5, -3, 100, 40}, {189, 56}, {0, 0, 1920, 1080}, {-50, -11}, {0, 0}}));

TEST(Indicator, ColoursComeFromBlueGreenRedOrTheGreyedTextColour)
{
    QPalette palette;
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(1, 2, 3));
    EXPECT_EQ(ColorToQColor(IndicatorGrey, palette), QColor(1, 2, 3));
    EXPECT_EQ(ColorToQColor(IndicatorBlue, palette), QColor(0, 0, 255));
    EXPECT_EQ(ColorToQColor(IndicatorRed, palette), QColor(255, 0, 0));
    EXPECT_EQ(ColorToQColor(IndicatorYellow, palette), QColor(255, 255, 0));
    EXPECT_EQ(ColorToQColor(0x00123456, palette), QColor(0x56, 0x34, 0x12));
}

} // namespace
