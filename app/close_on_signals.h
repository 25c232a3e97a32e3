// SPDX-License-Identifier: Apache-2.0
// The window program asked to end by the system (SIGTERM from a service
// manager or `kill`, SIGINT from Ctrl+C in its terminal, SIGHUP when that
// terminal goes) ends as its close box ends it: the overlay, the worker's
// orderly Shutdown, exit status 0. The signal's own action would kill it in
// the middle of an exchange. The end of a Windows session is the main
// window's own business (its WM_ENDSESSION).
#pragma once

#include <QObject>

#include <memory>

class QWidget;

class TCloseOnSignals : public QObject {
public:
    // Installs the handlers; each signal closes `window` from its event loop.
    // One at a time; the old handlers come back when it goes. Does nothing on
    // Windows.
    explicit TCloseOnSignals(QWidget &window);
    ~TCloseOnSignals() override;
    TCloseOnSignals(const TCloseOnSignals &) = delete;
    TCloseOnSignals &operator=(const TCloseOnSignals &) = delete;

private:
    struct TState;
    std::unique_ptr<TState> F;
};
