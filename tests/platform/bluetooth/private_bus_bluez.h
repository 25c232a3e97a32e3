// SPDX-License-Identifier: Apache-2.0
// A private D-Bus bus with a mock BlueZ on it, started and ended by the test
// that owns it: the backend under test reaches it through
// DBUS_SYSTEM_BUS_ADDRESS, and the test drives the mock (adapters, devices,
// misbehaviour) through its own connection.
#pragma once

#include "tests/support/scratch_folder.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A child process, ended (terminate, then kill) when its owner goes.
class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess();
    TChildProcess(const TChildProcess &) = delete;
    TChildProcess &operator=(const TChildProcess &) = delete;

    // Standard output goes to `outputFd`, standard error to `errorFd`; false
    // when it could not start.
    bool Start(const std::vector<std::string> &arguments, const std::vector<std::string> &environment,
               int outputFd, int errorFd);
    void Stop();
    bool Running() const { return FPid > 0; }

private:
    pid_t FPid = -1;
};

// True when this machine has what the bus tests need (dbus-daemon and the
// D-Bus mock for /usr/bin/python3); otherwise `why` says what is missing.
bool CanRunBusTests(std::string &why);

class TPrivateBus {
public:
    TPrivateBus() = default;
    ~TPrivateBus();
    TPrivateBus(const TPrivateBus &) = delete;
    TPrivateBus &operator=(const TPrivateBus &) = delete;

    // Starts the bus daemon; false with `error` filled when it did not come up.
    bool Start(std::string &error);
    // Starts the mock BlueZ on the bus and waits until it owns its name.
    bool StartBluez(std::string &error);
    const QString &Address() const { return FAddress; }

    // The mock's own calls (org.bluez.Mock on /org/bluez); each returns the
    // error text, empty on success.
    QString AddAdapter(const QString &name);
    QString AddDevice(const QString &adapter, const QString &address, const QString &name);
    QString PairDevice(const QString &adapter, const QString &address);
    // A device object that BlueZ lists without a Name property.
    QString AddNamelessDevice(const QString &adapter, const QString &address);
    // Replaces a method of a mock object by one that answers after `delay`.
    QString MakeSlow(const QString &path, const QString &interface, const QString &method,
                     const QString &outSignature, const QString &answer, std::chrono::seconds delay);

    // A property of a mock object, or an invalid QVariant.
    QVariant Property(const QString &path, const QString &interface, const QString &name);
    // Sets a property of a mock object; the error text, empty on success.
    QString SetProperty(const QString &path, const QString &interface, const QString &name, const QVariant &value);
    // How often a method of a mock object has been called; -1 when the mock
    // cannot tell.
    int CallCount(const QString &path, const QString &method);

private:
    QDBusMessage Call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments);
    std::vector<std::string> ChildEnvironment() const;

    TScratchFolder FFolder{"bluez-bus"};
    TChildProcess FDaemon;
    TChildProcess FBluez;
    QString FAddress;
    QString FControlName;
    std::optional<QDBusConnection> FControl;
};
