// SPDX-License-Identifier: Apache-2.0
#include "platform/bluetooth/bluetooth_bus_bluez.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

#include <atomic>

namespace {

const QString BluezService = QStringLiteral("org.bluez");
const QString AdapterInterface = QStringLiteral("org.bluez.Adapter1");
const QString DeviceInterface = QStringLiteral("org.bluez.Device1");

QString PathValue(const QVariant &value)
{
    if (value.canConvert<QDBusObjectPath>())
        return qvariant_cast<QDBusObjectPath>(value).path();
    return value.toString();
}

TBluezDevice DeviceFrom(const QString &path, const QVariantMap &properties)
{
    TBluezDevice device;
    device.Path = path;
    device.Adapter = PathValue(properties.value(QStringLiteral("Adapter")));
    device.Address = properties.value(QStringLiteral("Address")).toString();
    device.Name = properties.value(QStringLiteral("Name")).toString();
    device.Paired = properties.value(QStringLiteral("Paired")).toBool();
    device.Trusted = properties.value(QStringLiteral("Trusted")).toBool();
    device.Connected = properties.value(QStringLiteral("Connected")).toBool();
    return device;
}

TBluezAdapter AdapterFrom(const QString &path, const QVariantMap &properties)
{
    TBluezAdapter adapter;
    adapter.Path = path;
    adapter.Address = properties.value(QStringLiteral("Address")).toString();
    adapter.Name = properties.value(QStringLiteral("Alias")).toString();
    if (adapter.Name.isEmpty())
        adapter.Name = properties.value(QStringLiteral("Name")).toString();
    adapter.Powered = properties.value(QStringLiteral("Powered")).toBool();
    return adapter;
}

// Errors that say BlueZ is absent or did not answer, rather than that it
// answered and refused.
bool IsNoAnswer(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return true;
    static const QStringList noAnswer = {
        QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
        QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
        QStringLiteral("org.freedesktop.DBus.Error.TimedOut"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
    };
    return noAnswer.contains(reply.errorName());
}

} // namespace

TBluezBus::TBluezBus() = default;

TBluezBus::~TBluezBus()
{
    Disconnect();
}

QDBusConnection *TBluezBus::Connection()
{
    if (FConnection && FConnection->isConnected())
        return &*FConnection;
    Disconnect();

    static std::atomic<unsigned> connectionCount{0};
    FConnectionName = QStringLiteral("meter-readout-bluez-%1").arg(++connectionCount);
    // libdbus reads the system bus address once per process; reading it here
    // lets each new connection follow the environment as it stands now.
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    FConnection = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, FConnectionName)
                                    : QDBusConnection::connectToBus(address, FConnectionName);
    if (!FConnection->isConnected()) {
        Disconnect();
        return nullptr;
    }
    return &*FConnection;
}

void TBluezBus::Disconnect()
{
    FConnection.reset();
    if (!FConnectionName.isEmpty())
        QDBusConnection::disconnectFromBus(FConnectionName);
    FConnectionName.clear();
}

std::optional<TBluezObjects> TBluezBus::ManagedObjects(std::chrono::milliseconds timeout)
{
    QDBusConnection *bus = Connection();
    if (bus == nullptr)
        return std::nullopt;

    QDBusMessage call = QDBusMessage::createMethodCall(BluezService, QStringLiteral("/"),
                                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                       QStringLiteral("GetManagedObjects"));
    // A machine without Bluetooth must answer "no radio" at once, not wait for
    // the bus to try to start BlueZ.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus->call(call, QDBus::Block, static_cast<int>(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    const QVariant first = reply.arguments().constFirst();
    if (!first.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument objects = qvariant_cast<QDBusArgument>(first);
    if (objects.currentSignature() != QLatin1String("a{oa{sa{sv}}}"))
        return std::nullopt;

    // Read entry by entry rather than into a QMap, which would sort by path
    // and lose BlueZ's own order.
    TBluezObjects result;
    objects.beginMap();
    while (!objects.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        objects.beginMapEntry();
        objects >> path >> interfaces;
        objects.endMapEntry();
        const auto adapter = interfaces.constFind(AdapterInterface);
        if (adapter != interfaces.cend())
            result.Adapters.push_back(AdapterFrom(path.path(), *adapter));
        const auto device = interfaces.constFind(DeviceInterface);
        if (device != interfaces.cend())
            result.Devices.push_back(DeviceFrom(path.path(), *device));
    }
    objects.endMap();
    return result;
}

TBusResult TBluezBus::CallAdapter(const QString &adapter, const QString &method, const QVariantList &arguments,
                                  std::chrono::milliseconds timeout)
{
    QDBusConnection *bus = Connection();
    if (bus == nullptr)
        return TBusResult::NoAnswer;
    QDBusMessage call = QDBusMessage::createMethodCall(BluezService, adapter, AdapterInterface, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    const QDBusMessage reply = bus->call(call, QDBus::Block, static_cast<int>(timeout.count()));
    if (reply.type() == QDBusMessage::ReplyMessage)
        return TBusResult::Done;
    return IsNoAnswer(reply) ? TBusResult::NoAnswer : TBusResult::Refused;
}

TBusResult TBluezBus::SetClassicDiscoveryFilter(const QString &adapter, std::chrono::milliseconds timeout)
{
    const QVariantMap filter{{QStringLiteral("Transport"), QStringLiteral("bredr")}};
    return CallAdapter(adapter, QStringLiteral("SetDiscoveryFilter"), {filter}, timeout);
}

TBusResult TBluezBus::StartDiscovery(const QString &adapter, std::chrono::milliseconds timeout)
{
    return CallAdapter(adapter, QStringLiteral("StartDiscovery"), {}, timeout);
}

TBusResult TBluezBus::StopDiscovery(const QString &adapter, std::chrono::milliseconds timeout)
{
    return CallAdapter(adapter, QStringLiteral("StopDiscovery"), {}, timeout);
}
