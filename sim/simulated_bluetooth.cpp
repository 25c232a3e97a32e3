// SPDX-License-Identifier: Apache-2.0
#include "sim/simulated_bluetooth.h"

#include "platform/text/ascii_case.h"
#include "sim/local_sockets.h"
#include "sim/simulated_meter.h"
#include "platform/sockets/socket_stream.h"
#include "platform/sockets/tcp_socket.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {

TSimulatedDevice Device(std::u16string_view name, std::uint64_t address, bool remembered = true)
{
    return {std::u16string(name), address, remembered, true, true};
}

void FillDevice(const TSimulatedDevice &source, TBluetoothDeviceInfo &device)
{
    device = TBluetoothDeviceInfo{};
    SetBluetoothName(device.Name, source.Name);
    device.Address = source.Address;
    device.Remembered = source.Remembered;
    device.Authenticated = source.Remembered && source.Paired;
}

bool Listed(const TSimulatedDevice &device, const TDeviceSearchParams &params)
{
    return device.Remembered ? params.ReturnRemembered : params.ReturnUnknown && params.IssueInquiry;
}

}  // namespace

TSimulatedRadios TSimulatedBluetooth::NoRadio()
{
    return {};
}

TSimulatedRadios TSimulatedBluetooth::RadiosWithoutDevices(std::size_t radios)
{
    return TSimulatedRadios(radios);
}

TSimulatedRadios TSimulatedBluetooth::MeterOnFirstRadio(std::u16string_view meterName)
{
    return {{Device(u"Headset", 0x001A7DDA7101, false), Device(meterName, MeterAddress)}};
}

TSimulatedRadios TSimulatedBluetooth::MeterOnSecondRadio(std::u16string_view meterName)
{
    return {{},
            {Device(AsciiLowerCase(meterName), 0x001A7DDA7102, false), Device(u"Phone", 0x001A7DDA7103),
             Device(meterName, MeterAddress, false)}};
}

TSimulatedRadios TSimulatedBluetooth::LookAlikesOnly(std::u16string_view meterName)
{
    const std::u16string name(meterName);
    return {{Device(AsciiLowerCase(name), 0x001A7DDA7201, false), Device(name + u" ", 0x001A7DDA7202, false),
             Device(name + u"2", 0x001A7DDA7203, false), Device(name.substr(0, name.size() - 1), 0x001A7DDA7204),
             Device(u"", 0x001A7DDA7205, false)}};
}

TSimulatedRadios TSimulatedBluetooth::MeterSwitchedOff(std::u16string_view meterName)
{
    TSimulatedDevice meter = Device(meterName, MeterAddress, true);
    meter.Reachable = false;
    return {{meter}};
}

TSimulatedBluetooth::TSimulatedBluetooth(TSimulatedRadios radios, TMeterConnector connector,
                                         std::chrono::milliseconds inquiry)
    : FRadios(std::move(radios)), FConnector(std::move(connector)), FInquiry(inquiry)
{
}

TSimulatedBluetooth::TSimulatedBluetooth(TSimulatedRadios radios, TSimulatedMeter &meter,
                                         std::chrono::milliseconds inquiry)
    : TSimulatedBluetooth(std::move(radios), [&meter] { return meter.Connect(); }, inquiry)
{
}

TSimulatedBluetooth::~TSimulatedBluetooth() = default;

void TSimulatedBluetooth::SetRadios(TSimulatedRadios radios)
{
    std::lock_guard lock(FLock);
    FRadios = std::move(radios);
}

void TSimulatedBluetooth::SetFaults(TSimulatedFaults faults)
{
    std::lock_guard lock(FLock);
    FFaults = faults;
}

void TSimulatedBluetooth::SetHold(bool hold)
{
    std::lock_guard lock(FLock);
    FHold = hold;
    FChanged.notify_all();
}

void TSimulatedBluetooth::Release(int discoveries)
{
    std::lock_guard lock(FLock);
    FReleases += discoveries;
    FChanged.notify_all();
}

TSimulatedBluetooth::TCounts TSimulatedBluetooth::Counts() const
{
    std::lock_guard lock(FLock);
    return CountsLocked();
}

TSimulatedBluetooth::TCounts TSimulatedBluetooth::CountsLocked() const
{
    TCounts counts = FCounts;
    counts.OpenHandles = static_cast<int>(FHandles.size());
    return counts;
}

bool TSimulatedBluetooth::WaitForCounts(const std::function<bool(const TCounts &)> &done,
                                        std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return done(CountsLocked()); });
}

bool TSimulatedBluetooth::WaitForDiscoveries(int count, std::chrono::milliseconds timeout) const
{
    return WaitForCounts([count](const TCounts &counts) { return counts.Discoveries >= count; }, timeout);
}

std::vector<std::string> TSimulatedBluetooth::Misuses() const
{
    std::lock_guard lock(FLock);
    return FMisuses;
}

void TSimulatedBluetooth::KeepRecords(bool keep)
{
    std::lock_guard lock(FLock);
    FKeepRecords = keep;
    if (!keep) {
        FCalls = {};
        FSearchParams = {};
        FConnectRequests = {};
    }
}

std::vector<std::string> TSimulatedBluetooth::Calls() const
{
    std::lock_guard lock(FLock);
    return FCalls;
}

std::vector<TDeviceSearchParams> TSimulatedBluetooth::SearchParams() const
{
    std::lock_guard lock(FLock);
    return FSearchParams;
}

std::vector<std::uint64_t> TSimulatedBluetooth::ConnectRequests() const
{
    std::lock_guard lock(FLock);
    return FConnectRequests;
}

void TSimulatedBluetooth::Log(std::string call)
{
    if (FKeepRecords)
        FCalls.push_back(std::move(call));
    // Every call may change what a waiter waits for.
    FChanged.notify_all();
}

void TSimulatedBluetooth::Misuse(std::string what)
{
    FMisuses.push_back(std::move(what));
}

void *TSimulatedBluetooth::NewHandle(TKind kind, std::size_t index)
{
    const std::uintptr_t number = ++FLastHandle;
    THandle &handle = FHandles[number];
    handle.Kind = kind;
    handle.Index = index;
    return reinterpret_cast<void *>(number);
}

TSimulatedBluetooth::THandle *TSimulatedBluetooth::Find(const void *handle, TKind kind, const char *call)
{
    const auto found = FHandles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == FHandles.end() || found->second.Kind != kind) {
        Misuse(std::string(call) + " with a handle that is not open");
        return nullptr;
    }
    return &found->second;
}

std::string TSimulatedBluetooth::NameOf(const void *handle) const
{
    const auto found = FHandles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == FHandles.end())
        return "closed";
    const THandle &open = found->second;
    switch (open.Kind) {
    case TKind::RadioFind:
        return "radios";
    case TKind::Radio:
        return "radio" + std::to_string(open.Index);
    case TKind::DeviceFind:
        return "devices" + std::to_string(open.Index);
    }
    return "closed";
}

void TSimulatedBluetooth::Close(const void *handle, TKind kind, const char *call)
{
    Log(std::string(call) + " " + NameOf(handle));
    if (Find(handle, kind, call))
        FHandles.erase(reinterpret_cast<std::uintptr_t>(handle));
}

bool TSimulatedBluetooth::Reachable(std::uint64_t address) const
{
    for (const auto &radio : FRadios)
        for (const TSimulatedDevice &device : radio)
            if (device.Address == address && device.Reachable)
                return true;
    return false;
}

TFindHandle TSimulatedBluetooth::FindFirstRadio(TRadioHandle &radio)
{
    std::unique_lock lock(FLock);
    ++FCounts.Discoveries;
    Log("FindFirstRadio");
    FChanged.wait(lock, [this] { return !FHold || FReleases > 0; });
    if (FHold)
        --FReleases;
    if (FRadios.empty()) {
        radio = nullptr;
        return nullptr;
    }
    radio = NewHandle(TKind::Radio, 0);
    return NewHandle(TKind::RadioFind, 1);
}

bool TSimulatedBluetooth::FindNextRadio(TFindHandle find, TRadioHandle &radio)
{
    std::lock_guard lock(FLock);
    Log("FindNextRadio");
    THandle *radios = Find(find, TKind::RadioFind, "FindNextRadio");
    if (radios == nullptr || radios->Index >= FRadios.size())
        return false;
    const std::size_t index = radios->Index++;
    radio = NewHandle(TKind::Radio, index);
    return true;
}

void TSimulatedBluetooth::FindRadioClose(TFindHandle find)
{
    std::lock_guard lock(FLock);
    Close(find, TKind::RadioFind, "FindRadioClose");
}

void TSimulatedBluetooth::CloseRadio(TRadioHandle radio)
{
    std::lock_guard lock(FLock);
    Close(radio, TKind::Radio, "CloseRadio");
}

bool TSimulatedBluetooth::GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info)
{
    std::lock_guard lock(FLock);
    Log("GetRadioInfo " + NameOf(radio));
    const THandle *handle = Find(radio, TKind::Radio, "GetRadioInfo");
    if (handle == nullptr)
        return false;
    info = TBluetoothRadioInfo{};
    const std::string name = "simulated radio " + std::to_string(handle->Index + 1);
    SetBluetoothName(info.Name, std::u16string(name.begin(), name.end()));
    info.Address = FirstRadioAddress + handle->Index;
    return true;
}

TFindHandle TSimulatedBluetooth::FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device)
{
    std::chrono::milliseconds inquiry{0};
    {
        std::lock_guard lock(FLock);
        if (FKeepRecords)
            FSearchParams.push_back(params);
        ++FCounts.Searches;
        Log("FindFirstDevice " + NameOf(params.Radio));
        if (!Find(params.Radio, TKind::Radio, "FindFirstDevice"))
            return nullptr;
        if (params.IssueInquiry)
            inquiry = FInquiry;
    }
    // The inquiry runs without the lock, so counts stay readable meanwhile.
    std::this_thread::sleep_for(inquiry);

    std::lock_guard lock(FLock);
    THandle *radio = Find(params.Radio, TKind::Radio, "FindFirstDevice");
    if (radio == nullptr || radio->Index >= FRadios.size())
        return nullptr;
    std::vector<TSimulatedDevice> listed;
    for (const TSimulatedDevice &candidate : FRadios[radio->Index])
        if (Listed(candidate, params))
            listed.push_back(candidate);
    if (listed.empty())
        return nullptr;
    void *find = NewHandle(TKind::DeviceFind, radio->Index);
    THandle &devices = FHandles[reinterpret_cast<std::uintptr_t>(find)];
    devices.Listed = std::move(listed);
    FillDevice(devices.Listed[0], device);
    devices.Next = 1;
    return find;
}

bool TSimulatedBluetooth::FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device)
{
    std::lock_guard lock(FLock);
    Log("FindNextDevice " + NameOf(find));
    THandle *devices = Find(find, TKind::DeviceFind, "FindNextDevice");
    if (devices == nullptr || devices->Next >= devices->Listed.size())
        return false;
    FillDevice(devices->Listed[devices->Next++], device);
    return true;
}

void TSimulatedBluetooth::FindDeviceClose(TFindHandle find)
{
    std::lock_guard lock(FLock);
    Close(find, TKind::DeviceFind, "FindDeviceClose");
}

TStreamOpening TSimulatedBluetooth::Open(std::uint64_t address)
{
    TMeterConnector connector;
    bool reachable = false;
    {
        std::lock_guard lock(FLock);
        Log("Open");
        if (FKeepRecords)
            FConnectRequests.push_back(address);
        reachable = !FFaults.ConnectFails && Reachable(address);
        // A connection that is to fail never reaches the meter.
        if (reachable)
            connector = FConnector;
    }
    // On Windows the sockets below are Winsock's, which needs its start-up too.
    const int started = TcpSocket::Startup();
    const TSocketHandle socket = started == 0 && connector ? connector() : InvalidSocket;
    if (started == 0 && socket == InvalidSocket)
        TcpSocket::Cleanup();
    std::lock_guard lock(FLock);
    if (socket == InvalidSocket) {
        ++FCounts.FailedConnects;
        FChanged.notify_all();
        if (started != 0)
            return {nullptr, "the sockets did not start (error " + std::to_string(started) + ")"};
        return {nullptr, !reachable ? "no device answers at this address: switched off or out of reach"
                                    : "the meter refused the connection"};
    }
    ++FCounts.Connects;
    FChanged.notify_all();
    auto close = [this](TSocketHandle connected) {
        CloseSocketHandle(connected);
        TcpSocket::Cleanup();
        std::lock_guard lock(FLock);
        Log("Close");
        ++FCounts.StreamsClosed;
        FChanged.notify_all();
    };
    return {std::make_unique<TSocketStream>(socket, std::move(close)), {}};
}
