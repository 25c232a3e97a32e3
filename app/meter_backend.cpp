// SPDX-License-Identifier: Apache-2.0
#include "app/meter_backend.h"

#include "link/meter_identity.h"
#include "sim/simulated_bluetooth.h"
#include "platform/bluetooth/bluetooth_address.h"
#include "platform/serial/serial_port.h"
#include "platform/sockets/tcp_meter.h"

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include "platform/bluetooth/bluetooth_win32.h"
#else
#include "platform/bluetooth/bluetooth_bluez.h"
#endif

#include <chrono>
#include <stdexcept>

namespace {

#if defined(Q_OS_WIN)
using TSystemBluetooth = TWin32Bluetooth;
#else
using TSystemBluetooth = TBluezPlatform;
#endif

// One object behind both discovery and route.
template <typename TBoth>
void UseForBoth(TMeterBackend &backend, std::shared_ptr<TBoth> both)
{
    backend.Discovery = both;
    backend.Route = std::move(both);
}

} // namespace

TMeterWay TMeterBackend::Way() const
{
    return {Discovery.get(), Route.get(), PinnedAddress, RouteName};
}

bool TMeterBackend::MessagesDone() const
{
    if (!Meter || !Meter->Exhausted())
        return false;
    return Meter->WaitForEndedConnections(Meter->ConnectionCount(), std::chrono::milliseconds(0));
}

TMeterBackend MakeMeterBackend(const TCommandLine &line)
{
    TMeterBackend backend;
    if (line.Simulate) {
        TMeterOptions options;
        options.Record = false;  // a demo may run for days
        if (!line.SimMessagesPath.empty()) {
            try {
                options.Messages = LoadMessageFile(line.SimMessagesPath);
            } catch (const std::runtime_error &error) {
                throw ECommandLineError("--sim-messages: " + std::string(error.what()));
            }
        }
        backend.Meter = std::make_unique<TSimulatedMeter>(options);
        TSimulatedRadios radios = line.SimulateNoRadio ? TSimulatedBluetooth::NoRadio()
                                                       : TSimulatedBluetooth::MeterOnSecondRadio(MeterDeviceNameView);
        auto computer = std::make_shared<TSimulatedBluetooth>(
            std::move(radios), *backend.Meter,
            std::chrono::milliseconds(line.SimSearchMilliseconds.value_or(TSimulatedBluetooth::DefaultInquiry.count())));
        computer->KeepRecords(false);  // a demo may run for days
        UseForBoth(backend, std::move(computer));
        backend.Description = line.SimulateNoRadio ? "a simulated computer without a radio" : "the simulated computer";
    } else if (line.Meter && line.Meter->Kind == TMeterRouteKind::Serial) {
        backend.Route = std::make_shared<TSerialMeterRoute>(TSerialPortSettings{line.Meter->SerialPort, line.Meter->Baud});
        backend.Description = "the meter on the serial port " + line.Meter->SerialPort;
    } else if (line.Meter && line.Meter->Kind == TMeterRouteKind::Tcp) {
        backend.Route = std::make_shared<TTcpMeterRoute>(line.Meter->Tcp);
        backend.Description = "the meter at " + line.MeterAddress;
    } else {
        UseForBoth(backend, std::make_shared<TSystemBluetooth>());
        backend.Description = "the computer's Bluetooth";
    }
    if (line.Meter && line.Meter->Kind == TMeterRouteKind::Bluetooth) {
        backend.PinnedAddress = line.Meter->BluetoothAddress;
        backend.Description += ", the device at " + BluetoothAddressText(line.Meter->BluetoothAddress);
    }
    backend.RouteName = line.MeterAddress;
    if (!line.Simulate)
        backend.SerialPorts = ListSerialPorts;
    return backend;
}
