// A main window with its overlay, hand-off and waker, as start-up makes them, on
// a platform the test chooses; and a closer for the modal boxes it shows.
#pragma once

#include "app/Glax_btr.h"
#include "app/Unit12.h"
#include "platform/qt/qt_synchronize_waker.h"
#include "platform/sim/simulated_bluetooth.h"
#include "platform/synchronize.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <ostream>
#include <string>
#include <vector>

// Test output shows texts as texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// A simulated computer whose radios are scripted and whose meter refuses every
// connection.
inline TSimulatedBluetooth MakeRadios(TSimulatedRadios radios)
{
    return TSimulatedBluetooth(std::move(radios), [] { return InvalidSocket; });
}

// The window tests keep no journal unless they ask for one.
inline TJournalOptions NoJournal()
{
    return TJournalOptions{false, {}};
}

// `platform`: one object that is both discovery and transport.
template <typename TForm = TForm4>
struct TWindowRig {
    template <typename TPlatform>
    TWindowRig(const std::vector<std::string> &args, TPlatform &platform, const TJournalOptions &journal = NoJournal())
        : waker(synchronizer), form4(args, form12, synchronizer, platform, platform, journal)
    {
    }
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
