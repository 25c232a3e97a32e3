// SPDX-License-Identifier: Apache-2.0
#include "platform/bluetooth/bluetooth_bluez.h"

#include "platform/bluetooth/bluetooth_address_bluez.h"
#include "platform/bluetooth/bluetooth_bus_bluez.h"
#include "platform/bluetooth/bluetooth_sdp_bluez.h"
#include "platform/bluetooth/serial_port_service.h"
#include "platform/sockets/socket_stream.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// The objects behind the opaque handles, owned by the table that handed them
// out; a handle the table does not hold (closed before, or never ours) is
// ignored rather than followed.
template <class T>
class THandleTable {
public:
    void *Add(T value)
    {
        auto item = std::make_unique<T>(std::move(value));
        void *const key = item.get();
        const auto added = FItems.emplace(key, std::move(item)).first;
        return added->second.get();
    }
    T *Find(void *handle) const
    {
        const auto found = FItems.find(handle);
        return found == FItems.end() ? nullptr : found->second.get();
    }
    void Remove(void *handle) { FItems.erase(handle); }
    std::size_t Size() const { return FItems.size(); }

private:
    std::unordered_map<void *, std::unique_ptr<T>> FItems;
};

struct TRadioFind {
    std::vector<TBluezAdapter> Adapters;
    std::size_t Next = 0;
};

struct TRadio {
    TBluezAdapter Adapter;
};

struct TDeviceFind {
    std::vector<TBluetoothDeviceInfo> Devices;
    std::size_t Next = 0;
};

// The platform counts an inquiry in 1.28 s units and accepts at most 48 of them.
constexpr unsigned MaxInquiryUnits = 48;

// Adapters are named hci0, hci1, ... under one parent; ordering by length first
// keeps hci10 after hci9.
bool AdapterBefore(const TBluezAdapter &a, const TBluezAdapter &b)
{
    if (a.Path.size() != b.Path.size())
        return a.Path.size() < b.Path.size();
    return a.Path < b.Path;
}

bool IsWanted(const TBluezDevice &device, const TDeviceSearchParams &params)
{
    // BlueZ remembers what it has paired or been told to trust; every other
    // device it lists was seen by a discovery.
    const bool remembered = device.Paired || device.Trusted;
    return (params.ReturnAuthenticated && device.Paired) || (params.ReturnRemembered && remembered) ||
           (params.ReturnUnknown && !remembered) || (params.ReturnConnected && device.Connected);
}

// Why the last link step failed: an errno, and whether the SDP look-up found
// no serial port service (the device may have answered all the same).
struct TLinkFailure {
    int Error = 0;
    bool NoSerialPort = false;
};

// The system's words for a failed link step.
std::string LinkFailureText(const TLinkFailure &failure)
{
    const std::string cause = failure.Error != 0 ? std::generic_category().message(failure.Error) : std::string();
    if (!failure.NoSerialPort)
        return cause.empty() ? "no error reported" : cause;
    const std::string lookup = "no serial port service found over SDP";
    return cause.empty() ? lookup : lookup + ": " + cause;
}

void CopyName(const QString &name, std::array<char16_t, 248> &out)
{
    out.fill(0);
    auto length = std::min<qsizetype>(name.size(), static_cast<qsizetype>(out.size()) - 1);
    // A cut name must not end in half a surrogate pair.
    if (length > 0 && length < name.size() && name.at(length - 1).isHighSurrogate())
        --length;
    for (qsizetype i = 0; i < length; ++i)
        out[static_cast<std::size_t>(i)] = name.at(i).unicode();
}

} // namespace

struct TBluezPlatform::TState {
    explicit TState(const TBluezOptions &options) : Options(options) {}

    // False when BlueZ stopped answering, so the search ends now.
    bool RunInquiry(const QString &adapter, unsigned units);
    // How long a call of a discovery whose inquiry takes `units` may wait.
    std::chrono::milliseconds CallTimeout(unsigned units) const
    {
        return std::max(Options.CallTimeout, Options.InquiryUnit * units);
    }

    TBluezOptions Options;
    TBluezBus Bus;
    // The inquiry of the last device search (the default one before any), for
    // the radio list that begins the next discovery.
    unsigned InquiryUnits = TDeviceSearchParams{}.TimeoutMultiplier;
    THandleTable<TRadioFind> RadioFinds;
    THandleTable<TRadio> Radios;
    THandleTable<TDeviceFind> DeviceFinds;
    // Shared with the streams' closers, which may outlive the backend.
    std::shared_ptr<std::atomic<std::size_t>> OpenSockets = std::make_shared<std::atomic<std::size_t>>(0);
};

bool TBluezPlatform::TState::RunInquiry(const QString &adapter, unsigned units)
{
    const std::chrono::milliseconds timeout = CallTimeout(units);
    // Without the filter BlueZ would also scan for low-energy devices, which
    // cannot carry an RFCOMM link.
    if (Bus.SetClassicDiscoveryFilter(adapter, timeout) == TBusResult::NoAnswer)
        return false;
    const TBusResult started = Bus.StartDiscovery(adapter, timeout);
    if (started == TBusResult::NoAnswer) {
        // No answer is no refusal: BlueZ may have started the discovery all
        // the same, and left alone it would go on searching for ever.
        Bus.StopDiscovery(adapter, timeout);
        return false;
    }
    // The full time passes even when BlueZ refused to discover (busy): the
    // devices it knows are still listed, another program's discovery may
    // still find new ones, and the caller's retries keep their pace.
    std::this_thread::sleep_for(Options.InquiryUnit * units);
    if (started == TBusResult::Done && Bus.StopDiscovery(adapter, timeout) == TBusResult::NoAnswer)
        return false;
    return true;
}

TBluezPlatform::TBluezPlatform(TBluezOptions options) : FState(std::make_unique<TState>(options)) {}

TBluezPlatform::~TBluezPlatform() = default;

TFindHandle TBluezPlatform::FindFirstRadio(TRadioHandle &radio)
{
    radio = nullptr;
    const auto objects = FState->Bus.ManagedObjects(FState->CallTimeout(FState->InquiryUnits));
    if (!objects)
        return nullptr;
    // An adapter that is switched off cannot search: it is no radio, as the
    // Windows Bluetooth API lists no radio that is turned off.
    TRadioFind find;
    for (const TBluezAdapter &adapter : objects->Adapters)
        if (adapter.Powered)
            find.Adapters.push_back(adapter);
    if (find.Adapters.empty())
        return nullptr;
    std::stable_sort(find.Adapters.begin(), find.Adapters.end(), AdapterBefore);
    const TFindHandle handle = FState->RadioFinds.Add(std::move(find));
    FindNextRadio(handle, radio);
    return handle;
}

bool TBluezPlatform::FindNextRadio(TFindHandle find, TRadioHandle &radio)
{
    TRadioFind *state = FState->RadioFinds.Find(find);
    if (state == nullptr || state->Next >= state->Adapters.size())
        return false;
    radio = FState->Radios.Add(TRadio{state->Adapters[state->Next++]});
    return true;
}

void TBluezPlatform::FindRadioClose(TFindHandle find)
{
    FState->RadioFinds.Remove(find);
}

void TBluezPlatform::CloseRadio(TRadioHandle radio)
{
    FState->Radios.Remove(radio);
}

bool TBluezPlatform::GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info)
{
    const TRadio *state = FState->Radios.Find(radio);
    if (state == nullptr)
        return false;
    info = TBluetoothRadioInfo{};
    CopyName(state->Adapter.Name, info.Name);
    info.Address = ParseBluetoothAddress(state->Adapter.Address.toStdString()).value_or(0);
    return true;
}

TFindHandle TBluezPlatform::FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device)
{
    const TRadio *radio = FState->Radios.Find(params.Radio);
    if (radio == nullptr)
        return nullptr;
    const QString adapter = radio->Adapter.Path;
    const unsigned units = std::min<unsigned>(params.TimeoutMultiplier, MaxInquiryUnits);
    FState->InquiryUnits = units;
    if (params.IssueInquiry && !FState->RunInquiry(adapter, units))
        return nullptr;
    const auto objects = FState->Bus.ManagedObjects(FState->CallTimeout(units));
    if (!objects)
        return nullptr;

    TDeviceFind find;
    for (const TBluezDevice &known : objects->Devices) {
        if (known.Adapter != adapter || !IsWanted(known, params))
            continue;
        const auto address = ParseBluetoothAddress(known.Address.toStdString());
        if (!address)
            continue;  // not a device anyone could connect to
        TBluetoothDeviceInfo info;
        CopyName(known.Name, info.Name);
        info.Address = *address;
        info.Remembered = known.Paired || known.Trusted;
        info.Authenticated = known.Paired;
        find.Devices.push_back(info);
    }
    if (find.Devices.empty())
        return nullptr;
    device = find.Devices.front();
    find.Next = 1;
    return FState->DeviceFinds.Add(std::move(find));
}

bool TBluezPlatform::FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device)
{
    TDeviceFind *state = FState->DeviceFinds.Find(find);
    if (state == nullptr || state->Next >= state->Devices.size())
        return false;
    device = state->Devices[state->Next++];
    return true;
}

void TBluezPlatform::FindDeviceClose(TFindHandle find)
{
    FState->DeviceFinds.Remove(find);
}

TStreamOpening TBluezPlatform::Open(std::uint64_t address)
{
    const int socket = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, BTPROTO_RFCOMM);
    if (socket < 0)
        return {nullptr, "no socket: " + LinkFailureText({errno, false})};
    // From here the stream owns the socket.
    const std::shared_ptr<std::atomic<std::size_t>> open = FState->OpenSockets;
    ++*open;
    auto stream = std::make_unique<TSocketStream>(socket, [open](TSocketHandle connected) {
        ::close(connected);
        --*open;
    });
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    errno = 0;
    const int channel = FindRfcommChannel(address, SerialPortServiceClass);
    if (channel <= 0)
        return {nullptr, LinkFailureText({errno, true})};
    sockaddr_rc target{};
    target.rc_family = AF_BLUETOOTH;
    const auto bytes = AddressToKernelBytes(address);
    std::memcpy(target.rc_bdaddr.b, bytes.data(), bytes.size());
    target.rc_channel = static_cast<std::uint8_t>(channel);
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&target), sizeof target) != 0)
        return {nullptr, LinkFailureText({errno, false})};
    return {std::move(stream), {}};
}

std::size_t TBluezPlatform::OpenHandleCount() const
{
    return FState->RadioFinds.Size() + FState->Radios.Size() + FState->DeviceFinds.Size();
}

std::size_t TBluezPlatform::OpenSocketCount() const
{
    return FState->OpenSockets->load();
}
