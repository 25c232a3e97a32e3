// SPDX-License-Identifier: Apache-2.0
// The main window worked from the keyboard alone: keys go to the window as the
// window system delivers them (to its focus widget; not at all while a modal
// box blocks it).
#include "link/Glaxbththr.h"
#include "link/meter_identity.h"
#include "readings/reading_columns.h"
#include "tests/app/window_rig.h"

#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int WaitMs = 10000;

void Press(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(window.windowHandle(), key, modifiers);
}

// Waits until the widget has the keyboard (its window active, and it the focus
// widget in it).
bool HasFocus(QWidget *widget)
{
    return QTest::qWaitFor([widget] { return QApplication::focusWidget() == widget; }, WaitMs);
}

void ShowActive(TForm4 &form)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

// Shows the window and moves the keyboard from the table to Start.
void ShowWithStartFocused(TForm4 &form)
{
    ShowActive(form);
    Press(form, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form.Button1);
}

// Counts the clicks of every button of the window.
struct TClicks {
    explicit TClicks(TForm4 &form)
    {
        for (QPushButton *button : {form.Button1, form.Button3, form.Button4, form.Button5})
            spies.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
    }
    int Total() const
    {
        int total = 0;
        for (const auto &spy : spies)
            total += static_cast<int>(spy->count());
        return total;
    }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};

TEST(Keyboard, FocusStartsOnTheTableAndTabGoesRoundTheButtonsWithoutMovingTheCell)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    ShowActive(rig.form4);
    TForm4 &form = rig.form4;
    ASSERT_TRUE(HasFocus(form.StringGrid1));
    const QModelIndex cell = form.Readings().index(0, rcRange);
    form.StringGrid1->setCurrentIndex(cell);

    const std::vector<QWidget *> forward{form.Button1, form.Button3, form.Button4, form.Button5, form.StringGrid1};
    for (QWidget *next : forward) {
        Press(form, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    for (auto next = forward.rbegin() + 1; next != forward.rend(); ++next) {
        Press(form, Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), *next) << (*next)->objectName().toStdString();
    }
    Press(form, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), form.StringGrid1);
    EXPECT_EQ(form.StringGrid1->currentIndex(), cell) << "Tab does not move between cells";
}

struct TArrowCase {
    Qt::Key key;
    int column;
    int row;
};

class ArrowKeys : public testing::TestWithParam<TArrowCase> {};

TEST_P(ArrowKeys, MoveBetweenTheCellsNextToTheNumbers)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    rig.form4.AddReading(TReading{});
    ShowActive(rig.form4);
    ASSERT_TRUE(HasFocus(rig.form4.StringGrid1));
    rig.form4.StringGrid1->setCurrentIndex(rig.form4.Readings().index(0, rcMoisture));
    Press(rig.form4, GetParam().key);
    EXPECT_EQ(rig.form4.StringGrid1->currentIndex(), rig.form4.Readings().index(GetParam().row, GetParam().column));
}

// Column 0 keeps the row numbers in view and is no cell to move to.
INSTANTIATE_TEST_SUITE_P(Keys, ArrowKeys,
                         testing::Values(TArrowCase{Qt::Key_Right, rcTemp, 0}, TArrowCase{Qt::Key_Left, rcRange, 0},
                                         TArrowCase{Qt::Key_Down, rcMoisture, 1},
                                         TArrowCase{Qt::Key_Home, rcRange, 0}));

class PressKeys : public testing::TestWithParam<Qt::Key> {};

TEST_P(PressKeys, PressTheFocusedButtonAndAfterTheStopTheFocusIsBackOnStart)
{
    // Radios without the meter: the worker searches until it is stopped.
    TWindowRig rig(TSimulatedBluetooth::RadiosWithoutDevices());
    TForm4 &form = rig.form4;
    ShowWithStartFocused(form);
    TClicks clicks(form);

    Press(form, GetParam());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Button1->text() == "Stop"; }, WaitMs));
    Press(form, GetParam());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Button1->text() == "Start" && form.isEnabled(); }, WaitMs));
    EXPECT_FALSE(rig.form12.isVisible());
    EXPECT_TRUE(HasFocus(form.Button1));
    EXPECT_EQ(clicks.Total(), 2);
}

INSTANTIATE_TEST_SUITE_P(Keys, PressKeys, testing::Values(Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter));

TEST(Keyboard, KeysWhileTheStopOverlayIsUpChangeNothing)
{
    TWindowRig rig(TSimulatedBluetooth::LookAlikesOnly(MeterDeviceNameView));
    TSimulatedBluetooth &platform = *rig.computer;
    platform.SetHold(true);  // each discovery waits for the test, so the stop stays pending
    TForm4 &form = rig.form4;
    ShowWithStartFocused(form);
    Press(form, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.Counts().Discoveries >= 1; }, WaitMs));
    Press(form, Qt::Key_Return);  // Stop, while the discovery is under way
    ASSERT_TRUE(rig.form12.isVisible());
    ASSERT_FALSE(form.isEnabled());

    TClicks clicks(form);
    for (QWidget *window : {static_cast<QWidget *>(&form), static_cast<QWidget *>(&rig.form12)}) {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter, Qt::Key_Tab, Qt::Key_Escape})
            Press(*window, key);
        Press(*window, Qt::Key_Backtab, Qt::ShiftModifier);
    }
    EXPECT_EQ(clicks.Total(), 0);
    EXPECT_FALSE(form.isEnabled());
    EXPECT_TRUE(rig.form12.isVisible());
    EXPECT_EQ(form.Button1->text(), "Stop");

    platform.SetHold(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.isEnabled(); }, WaitMs));
    EXPECT_EQ(form.Button1->text(), "Start");
    EXPECT_FALSE(BTthr->IsActive());
    EXPECT_TRUE(HasFocus(form.Button1));
    EXPECT_EQ(clicks.Total(), 0);
}

TEST(Keyboard, KeysWhileTheNoRadioBoxHoldsTheWorkerGoToTheBoxAlone)
{
    TWindowRig rig(TSimulatedBluetooth::NoRadio());
    TForm4 &form = rig.form4;
    ShowWithStartFocused(form);
    TClicks clicks(form);

    // The box runs its own loop inside the worker's hand-off; the keys are
    // pressed from a timer inside that loop, the box's OK last. The timer goes
    // on ticking, which keeps the loop awake to see that the box has closed
    // (under Wine it may otherwise sleep on).
    int clicksWhileUp = -1;
    QWidget *focusWhileUp = nullptr;
    QTimer keys;
    QObject::connect(&keys, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (clicksWhileUp >= 0 || box == nullptr || box->windowHandle() == nullptr ||
            !box->windowHandle()->isExposed())
            return;
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Tab, Qt::Key_Right})
            Press(form, key);
        clicksWhileUp = clicks.Total();
        focusWhileUp = form.focusWidget();
        Press(*box, Qt::Key_Return);  // OK
    });
    keys.start(20);
    Press(form, Qt::Key_Return);  // Start: the worker finds no radio and waits for the box

    ASSERT_TRUE(QTest::qWaitFor([&] { return clicksWhileUp >= 0 && QApplication::activeModalWidget() == nullptr; },
                                WaitMs));
    EXPECT_EQ(clicksWhileUp, 1) << "the window under the box takes no key";
    EXPECT_EQ(focusWhileUp, form.Button1);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(form.Button1->text(), "Start");
    EXPECT_TRUE(HasFocus(form.Button1));
    EXPECT_EQ(clicks.Total(), 1);
}

} // namespace
