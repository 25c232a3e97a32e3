#include "platform/sim/simulated_bluetooth.h"

#include "platform/ascii_case.h"
#include "platform/sim/simulated_meter.h"
#include "platform/socket_io.h"
#include "platform/tcp_socket.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {

TSimulatedDevice Device(std::u16string_view name, std::uint64_t address, bool remembered = true)
{
    return {std::u16string(name), address, remembered, true};
}

void FillDevice(const TSimulatedDevice &source, TBluetoothDeviceInfo &device)
{
    device = TBluetoothDeviceInfo{};
    SetBluetoothName(device.Name, source.Name);
    device.Address = source.Address;
    device.Remembered = source.Remembered;
    device.Authenticated = source.Remembered;
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

TSimulatedBluetooth::~TSimulatedBluetooth()
{
    // Sockets a careless caller left open still belong to this platform.
    for (const auto &[socket, connected] : FSockets)
        CloseSocketHandle(socket);
}

void TSimulatedBluetooth::SetRadios(TSimulatedRadios radios)
{
    std::lock_guard lock(FLock);
    FRadios = std::move(radios);
}

TSimulatedBluetooth::TCounts TSimulatedBluetooth::Counts() const
{
    std::lock_guard lock(FLock);
    TCounts counts = FCounts;
    counts.OpenHandles = static_cast<int>(FHandles.size());
    return counts;
}

std::vector<std::string> TSimulatedBluetooth::Misuses() const
{
    std::lock_guard lock(FLock);
    return FMisuses;
}

void TSimulatedBluetooth::Misuse(std::string what)
{
    FMisuses.push_back(std::move(what));
}

TSimulatedBluetooth::THandle *TSimulatedBluetooth::NewHandle(TKind kind, std::size_t index)
{
    auto handle = std::make_unique<THandle>();
    handle->Kind = kind;
    handle->Index = index;
    THandle *raw = handle.get();
    FHandles.emplace(raw, std::move(handle));
    return raw;
}

TSimulatedBluetooth::THandle *TSimulatedBluetooth::Find(const void *handle, TKind kind, const char *call)
{
    const auto found = FHandles.find(handle);
    if (found == FHandles.end() || found->second->Kind != kind) {
        Misuse(std::string(call) + " with a handle that is not open");
        return nullptr;
    }
    return found->second.get();
}

void TSimulatedBluetooth::Close(const void *handle, TKind kind, const char *call)
{
    if (Find(handle, kind, call))
        FHandles.erase(handle);
}

TFindHandle TSimulatedBluetooth::FindFirstRadio(TRadioHandle &radio)
{
    std::lock_guard lock(FLock);
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
    THandle *radios = Find(find, TKind::RadioFind, "FindNextRadio");
    if (radios == nullptr || radios->Index >= FRadios.size())
        return false;
    radio = NewHandle(TKind::Radio, radios->Index++);
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
        if (!Find(params.Radio, TKind::Radio, "FindFirstDevice"))
            return nullptr;
        ++FCounts.Searches;
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
    THandle *find = NewHandle(TKind::DeviceFind, radio->Index);
    find->Listed = std::move(listed);
    FillDevice(find->Listed[0], device);
    find->Next = 1;
    return find;
}

bool TSimulatedBluetooth::FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device)
{
    std::lock_guard lock(FLock);
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

int TSimulatedBluetooth::Startup()
{
    // On Windows the sockets below are Winsock's, which needs its start-up too.
    const int result = TcpSocket::Startup();
    std::lock_guard lock(FLock);
    if (result == 0) {
        ++FOutstandingStartups;
        ++FCounts.Startups;
    } else {
        FLastFailure = "the sockets did not start (error " + std::to_string(result) + ")";
    }
    return result;
}

TSocketHandle TSimulatedBluetooth::OpenSocket()
{
    TMeterConnector connector;
    {
        std::lock_guard lock(FLock);
        if (FOutstandingStartups <= 0)
            Misuse("OpenSocket without a start-up");
        connector = FConnector;
    }
    TSocketHandle socket = connector ? connector() : InvalidSocket;
    const bool connected = socket != InvalidSocket;
    if (!connected)
        socket = TcpSocket::Open(TcpSocket::TAddress{});
    std::lock_guard lock(FLock);
    if (socket == InvalidSocket) {
        FLastFailure = "no socket could be made";
        return InvalidSocket;
    }
    FSockets[socket] = connected;
    ++FCounts.SocketsOpened;
    return socket;
}

void TSimulatedBluetooth::SetReuseAddress(TSocketHandle socket)
{
    std::lock_guard lock(FLock);
    if (!FSockets.count(socket))
        Misuse("SetReuseAddress on a socket that is not open");
}

int TSimulatedBluetooth::Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &)
{
    std::lock_guard lock(FLock);
    const auto found = FSockets.find(socket);
    if (found == FSockets.end()) {
        Misuse("Connect on a socket that is not open");
        return -1;
    }
    bool reachable = false;
    for (const auto &radio : FRadios)
        for (const TSimulatedDevice &device : radio)
            if (device.Address == address && device.Reachable)
                reachable = true;
    if (!found->second || !reachable) {
        ++FCounts.FailedConnects;
        FLastFailure = !reachable ? "no device answers at this address: switched off or out of reach"
                                  : "the meter refused the connection";
        return -1;
    }
    ++FCounts.Connects;
    return 0;
}

void TSimulatedBluetooth::CloseSocket(TSocketHandle socket)
{
    {
        std::lock_guard lock(FLock);
        if (FSockets.erase(socket) == 0) {
            // Never close what this platform did not hand out.
            Misuse("CloseSocket on a socket that is not open");
            return;
        }
        ++FCounts.SocketsClosed;
    }
    CloseSocketHandle(socket);
}

void TSimulatedBluetooth::Cleanup()
{
    {
        std::lock_guard lock(FLock);
        if (FOutstandingStartups <= 0) {
            Misuse("Cleanup without an outstanding start-up");
            return;
        }
        --FOutstandingStartups;
        ++FCounts.Cleanups;
    }
    TcpSocket::Cleanup();
}

std::string TSimulatedBluetooth::LinkFailureText() const
{
    std::lock_guard lock(FLock);
    return FLastFailure;
}
