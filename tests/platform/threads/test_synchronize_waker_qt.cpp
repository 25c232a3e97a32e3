// SPDX-License-Identifier: Apache-2.0
#include "platform/threads/synchronize_waker_qt.h"
#include "platform/threads/synchronize.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

struct TModalCase {
    const char *name;
    std::function<std::unique_ptr<QDialog>()> make;
};

class QtSynchronizeWakerModal : public testing::TestWithParam<TModalCase> {};

}  // namespace

// A worker's step must run while the interface thread sits in a modal loop,
// or a hand-off issued while a dialog is open would block the worker until
// the dialog closes.
TEST_P(QtSynchronizeWakerModal, PendingStepRunsInsideTheModalLoop)
{
    TSynchronizer sync;
    TQtSynchronizeWaker waker(sync);
    std::unique_ptr<QDialog> dialog = GetParam().make();

    bool stepRanInsideModal = false;
    std::atomic<bool> workerDone{false};
    std::thread worker;

    // Issue the step only once the dialog's own loop is running.
    QTimer::singleShot(0, [&] {
        worker = std::thread([&] {
            sync.Synchronize([&] { stepRanInsideModal = QApplication::activeModalWidget() == dialog.get(); });
            workerDone = true;
        });
    });
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (workerDone)
            dialog->done(0);
    });
    closer.start(5);
    QTimer::singleShot(10000, [&] { dialog->done(0); });  // a failure must not hang the test

    dialog->exec();
    closer.stop();
    if (worker.joinable()) {
        // Should the step not have run, serve it here so the worker can finish.
        while (!workerDone)
            sync.CheckSynchronize();
        worker.join();
    }
    EXPECT_TRUE(stepRanInsideModal);
}

INSTANTIATE_TEST_SUITE_P(
    QtSynchronizeWaker, QtSynchronizeWakerModal,
    testing::Values(TModalCase{"Dialog", [] { return std::make_unique<QDialog>(); }},
                    TModalCase{"MessageBox",
                               [] {
                                   return std::unique_ptr<QDialog>(
                                       new QMessageBox(QMessageBox::Critical, "Error", "A message", QMessageBox::Ok));
                               }}),
    [](const testing::TestParamInfo<TModalCase> &info) { return std::string(info.param.name); });

TEST(QtSynchronizeWaker, StepIssuedBeforeTheWakerExistedRunsOnceTheLoopRuns)
{
    TSynchronizer sync;
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        sync.Synchronize([] {});
        workerDone = true;
    });
    ASSERT_TRUE(sync.WaitForPending(std::chrono::milliseconds(5000)));
    TQtSynchronizeWaker waker(sync);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (workerDone)
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    if (!workerDone) {
        while (!workerDone)
            sync.CheckSynchronize();
        ADD_FAILURE() << "the step waited for a wake that never came";
    }
    worker.join();
}

TEST(QtSynchronizeWaker, DestroyedWakerNoLongerReceivesWakes)
{
    TSynchronizer sync;
    {
        TQtSynchronizeWaker waker(sync);
    }
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        sync.Synchronize([] {});  // would post to a freed object if the waker stayed installed
        workerDone = true;
    });
    while (!workerDone) {
        if (sync.WaitForPending(std::chrono::milliseconds(5)))
            sync.CheckSynchronize();
    }
    worker.join();
    QCoreApplication::processEvents();
}
