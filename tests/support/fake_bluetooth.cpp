#include "tests/support/fake_bluetooth.h"

#include <algorithm>

int TFakeBluetooth::CallCount(const std::string &prefix) const
{
    return static_cast<int>(std::count_if(Calls.begin(), Calls.end(), [&](const std::string &call) {
        return call.compare(0, prefix.size(), prefix) == 0;
    }));
}

void TFakeBluetooth::PrepareTokens()
{
    FRadioTokens.clear();
    FDeviceFindTokens.clear();
    for (std::size_t i = 0; i < Radios.size(); ++i) {
        FRadioTokens.push_back({"radio" + std::to_string(i), i});
        FDeviceFindTokens.push_back({"devices" + std::to_string(i), i});
    }
    FNextDevice.assign(Radios.size(), 0);
}

TFakeBluetooth::TToken *TFakeBluetooth::Lookup(const void *handle)
{
    if (handle == &FRadioFind)
        return &FRadioFind;
    for (auto *tokens : {&FRadioTokens, &FDeviceFindTokens})
        for (auto &token : *tokens)
            if (handle == &token)
                return &token;
    return nullptr;
}

void TFakeBluetooth::Release(const char *call, const void *handle)
{
    TToken *token = Lookup(handle);
    const std::string name = token ? token->Name : std::string("unknown");
    Calls.push_back(std::string(call) + " " + name);
    if (FOpen.erase(handle) == 0)
        Misuses.push_back(std::string(call) + " on a handle that is not open: " + name);
}

void TFakeBluetooth::Fill(const TFakeDevice &source, TBluetoothDeviceInfo &device)
{
    device = TBluetoothDeviceInfo{};
    const std::size_t length = std::min(source.Name.size(), device.Name.size() - 1);
    std::copy_n(source.Name.begin(), length, device.Name.begin());
    device.Address = source.Address;
    device.Remembered = source.Remembered;
    device.Authenticated = source.Authenticated;
}

TFindHandle TFakeBluetooth::FindFirstRadio(TRadioHandle &radio)
{
    Calls.push_back("FindFirstRadio");
    PrepareTokens();
    if (Radios.empty()) {
        radio = nullptr;
        return nullptr;
    }
    FNextRadio = 1;
    radio = &FRadioTokens[0];
    FOpen.insert(&FRadioFind);
    FOpen.insert(radio);
    return &FRadioFind;
}

bool TFakeBluetooth::FindNextRadio(TFindHandle find, TRadioHandle &radio)
{
    Calls.push_back("FindNextRadio");
    if (find != &FRadioFind || !FOpen.count(find)) {
        Misuses.push_back("FindNextRadio on a handle that is not open");
        return false;
    }
    if (FNextRadio >= Radios.size())
        return false;
    radio = &FRadioTokens[FNextRadio++];
    FOpen.insert(radio);
    return true;
}

void TFakeBluetooth::FindRadioClose(TFindHandle find)
{
    Release("FindRadioClose", find);
}

void TFakeBluetooth::CloseRadio(TRadioHandle radio)
{
    Release("CloseRadio", radio);
}

bool TFakeBluetooth::GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info)
{
    TToken *token = Lookup(radio);
    const std::string name = token ? token->Name : std::string("unknown");
    Calls.push_back("GetRadioInfo " + name);
    if (token == nullptr || !FOpen.count(radio) || name.rfind("radio", 0) != 0) {
        Misuses.push_back("GetRadioInfo on a radio that is not open");
        return false;
    }
    info = TBluetoothRadioInfo{};
    const std::string shown = "radio " + std::to_string(token->Radio);
    std::copy(shown.begin(), shown.end(), info.Name.begin());
    info.Address = RadioAddress + token->Radio;
    return true;
}

TFindHandle TFakeBluetooth::FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device)
{
    SearchParams.push_back(params);
    TToken *radio = Lookup(params.Radio);
    if (radio == nullptr || !FOpen.count(params.Radio) || radio->Name.rfind("radio", 0) != 0) {
        Calls.push_back("FindFirstDevice unknown");
        Misuses.push_back("FindFirstDevice on a radio that is not open");
        return nullptr;
    }
    Calls.push_back("FindFirstDevice " + radio->Name);
    const auto &devices = Radios[radio->Radio];
    if (devices.empty())
        return nullptr;
    Fill(devices[0], device);
    FNextDevice[radio->Radio] = 1;
    TToken *find = &FDeviceFindTokens[radio->Radio];
    FOpen.insert(find);
    return find;
}

bool TFakeBluetooth::FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device)
{
    TToken *token = Lookup(find);
    Calls.push_back("FindNextDevice " + (token ? token->Name : std::string("unknown")));
    if (token == nullptr || !FOpen.count(find)) {
        Misuses.push_back("FindNextDevice on a handle that is not open");
        return false;
    }
    const auto &devices = Radios[token->Radio];
    std::size_t &next = FNextDevice[token->Radio];
    if (next >= devices.size())
        return false;
    Fill(devices[next++], device);
    return true;
}

void TFakeBluetooth::FindDeviceClose(TFindHandle find)
{
    Release("FindDeviceClose", find);
}

int TFakeBluetooth::Startup()
{
    Calls.push_back("Startup");
    if (StartupResult == 0)
        ++FStartups;
    return StartupResult;
}

TSocketHandle TFakeBluetooth::OpenSocket()
{
    Calls.push_back("OpenSocket");
    if (FStartups <= 0)
        Misuses.push_back("OpenSocket without a start-up");
    if (SocketFails)
        return InvalidSocket;
    ++FSocketsOpen;
    return FakeSocket;
}

void TFakeBluetooth::SetReuseAddress(TSocketHandle socket)
{
    Calls.push_back("SetReuseAddress");
    if (socket != FakeSocket || FSocketsOpen <= 0)
        Misuses.push_back("SetReuseAddress on a socket that is not open");
}

int TFakeBluetooth::Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &serviceClass)
{
    Calls.push_back("Connect");
    if (socket != FakeSocket || FSocketsOpen <= 0)
        Misuses.push_back("Connect on a socket that is not open");
    ConnectAddress = address;
    ConnectServiceClass = serviceClass;
    return ConnectFails ? -1 : 0;
}

void TFakeBluetooth::CloseSocket(TSocketHandle socket)
{
    Calls.push_back("CloseSocket");
    if (socket != FakeSocket || FSocketsOpen <= 0) {
        Misuses.push_back("CloseSocket on a socket that is not open");
        return;
    }
    --FSocketsOpen;
}

void TFakeBluetooth::Cleanup()
{
    Calls.push_back("Cleanup");
    if (FStartups <= 0) {
        Misuses.push_back("Cleanup without an outstanding start-up");
        return;
    }
    --FStartups;
}

std::string TFakeBluetooth::LinkFailureText() const
{
    return FailureText;
}
