// SPDX-License-Identifier: Apache-2.0
// BlueZ's D-Bus API as the Bluetooth backend uses it: the adapters and devices
// it manages, and the discovery calls of one adapter. Every call waits at most
// the timeout it is given, so a hung BlueZ costs at most that long per call.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <optional>
#include <vector>

// One org.bluez.Device1 object, with the properties the device search reads.
struct TBluezDevice {
    QString Path;
    QString Adapter;  // object path of the adapter that lists it
    QString Address;  // "AA:BB:CC:DD:EE:FF"
    QString Name;     // empty when BlueZ has no name for it
    bool Paired = false;
    bool Trusted = false;
    bool Connected = false;
};

// One org.bluez.Adapter1 object.
struct TBluezAdapter {
    QString Path;
    QString Address;  // "AA:BB:CC:DD:EE:FF"
    QString Name;     // the name others see it by (BlueZ's alias)
    // Switched on: a radio that can search. An adapter switched off, or blocked
    // by rfkill (BlueZ cannot power it then), reads false.
    bool Powered = false;
};

// BlueZ's objects in the order BlueZ reports them.
struct TBluezObjects {
    std::vector<TBluezAdapter> Adapters;
    std::vector<TBluezDevice> Devices;
};

enum class TBusResult {
    Done,       // BlueZ answered with success
    Refused,    // BlueZ answered with an error
    NoAnswer,   // no bus, no BlueZ, or no answer within the timeout
};

class TBluezBus {
public:
    TBluezBus();
    ~TBluezBus();
    TBluezBus(const TBluezBus &) = delete;
    TBluezBus &operator=(const TBluezBus &) = delete;

    // nullopt when there is no system bus, BlueZ is not on it, or it did not
    // answer in time.
    std::optional<TBluezObjects> ManagedObjects(std::chrono::milliseconds timeout);

    // Restricts the adapter's discovery to classic (BR/EDR) devices.
    TBusResult SetClassicDiscoveryFilter(const QString &adapter, std::chrono::milliseconds timeout);
    TBusResult StartDiscovery(const QString &adapter, std::chrono::milliseconds timeout);
    TBusResult StopDiscovery(const QString &adapter, std::chrono::milliseconds timeout);

private:
    // The private connection, (re)made on the calling thread when there is none
    // or the one made before has been lost; null when no bus can be reached.
    QDBusConnection *Connection();
    void Disconnect();
    TBusResult CallAdapter(const QString &adapter, const QString &method, const QVariantList &arguments,
                           std::chrono::milliseconds timeout);

    std::optional<QDBusConnection> FConnection;
    QString FConnectionName;
};
