// SPDX-License-Identifier: Apache-2.0
// A main window with its overlay, hand-off and waker, as start-up makes them, on
// a platform the test chooses; and a closer for the modal boxes it shows.
#pragma once

#include "app/Glax_btr.h"
#include "app/Unit12.h"
#include "platform/threads/synchronize_waker_qt.h"
#include "sim/simulated_bluetooth.h"
#include "platform/threads/synchronize.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Test output shows texts as texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// The window tests keep no journal unless they ask for one.
inline TJournalOptions NoJournal()
{
    return TJournalOptions{false, {}};
}

// The main window with its overlay and hand-offs, on `platform` (one object
// that is both discovery and route), or on a simulated computer of its own
// whose radios are `radios` and whose meter refuses every connection.
template <typename TForm = TForm4>
struct TWindowRig {
    template <typename TPlatform>
    TWindowRig(const std::vector<std::string> &args, TPlatform &platform, const TJournalOptions &journal = NoJournal())
        : waker(synchronizer), form4(args, form12, synchronizer, TMeterWay{&platform, &platform}, journal)
    {
    }
    explicit TWindowRig(TSimulatedRadios radios, const std::vector<std::string> &args = {})
        : computer(std::make_unique<TSimulatedBluetooth>(std::move(radios), [] { return InvalidSocket; })), waker(synchronizer),
          form4(args, form12, synchronizer, TMeterWay{computer.get(), computer.get()}, NoJournal())
    {
    }
    std::unique_ptr<TSimulatedBluetooth> computer;  // null when the test gave the platform
    TSynchronizer synchronizer;
    TQtSynchronizeWaker waker;
    TForm12 form12;
    TForm form4;  // goes first, ending its worker
};

struct TSeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Closes every modal message box soon after it opens, noting what it showed.
class TBoxCloser : public QObject {
public:
    TBoxCloser()
    {
        connect(&FTimer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            seen.push_back({box->windowTitle(), box->text(), box->icon()});
            box->done(QMessageBox::Ok);
        });
        FTimer.start(20);
    }
    std::vector<TSeenBox> seen;

private:
    QTimer FTimer;
};
