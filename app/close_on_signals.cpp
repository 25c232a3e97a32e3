// SPDX-License-Identifier: Apache-2.0
#include "app/close_on_signals.h"

#include <QWidget>
#include <QtGlobal>

#if !defined(Q_OS_WIN)

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> ClosingSignals = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe; a handler may do no more than write to it.
volatile std::sig_atomic_t SignalPipe = -1;

extern "C" void OnClosingSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    if (SignalPipe >= 0) {
        const ssize_t written = write(SignalPipe, &byte, 1);
        (void)written;  // a full pipe holds a close request already
    }
    errno = saved;
}

} // namespace

struct TCloseOnSignals::TState {
    int ReadEnd = -1;
    int WriteEnd = -1;
    std::unique_ptr<QSocketNotifier> Notifier;
    std::array<struct sigaction, ClosingSignals.size()> Old{};
};

TCloseOnSignals::TCloseOnSignals(QWidget &window) : F(std::make_unique<TState>())
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("Cannot make the pipe for the program's end signals");
    F->ReadEnd = ends[0];
    F->WriteEnd = ends[1];
    SignalPipe = F->WriteEnd;

    F->Notifier = std::make_unique<QSocketNotifier>(F->ReadEnd, QSocketNotifier::Read);
    connect(F->Notifier.get(), &QSocketNotifier::activated, this, [this, &window] {
        char bytes[16];
        while (read(F->ReadEnd, bytes, sizeof bytes) > 0) {
        }
        window.close();  // a second signal while it closes finds it closing
    });

    struct sigaction action {};
    action.sa_handler = OnClosingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < ClosingSignals.size(); ++i)
        sigaction(ClosingSignals[i], &action, &F->Old[i]);
}

TCloseOnSignals::~TCloseOnSignals()
{
    for (std::size_t i = 0; i < ClosingSignals.size(); ++i)
        sigaction(ClosingSignals[i], &F->Old[i], nullptr);
    SignalPipe = -1;
    F->Notifier.reset();
    close(F->ReadEnd);
    close(F->WriteEnd);
}

#else

struct TCloseOnSignals::TState {};

TCloseOnSignals::TCloseOnSignals(QWidget &) {}
TCloseOnSignals::~TCloseOnSignals() = default;

#endif
