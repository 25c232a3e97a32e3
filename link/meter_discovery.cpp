// Discovery of the meter among the radios' devices, and the link to it.
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "platform/bluetooth_platform.h"

#include <algorithm>
#include <string_view>

namespace {

// The name up to its terminating zero; a name that fills the whole record
// without one ends at the record's end.
std::u16string_view DeviceName(const TBluetoothDeviceInfo &device)
{
    const auto end = std::find(device.Name.begin(), device.Name.end(), u'\0');
    return {device.Name.data(), static_cast<std::size_t>(end - device.Name.begin())};
}

bool IsMeter(const TBluetoothDeviceInfo &device)
{
    return DeviceName(device) == MeterDeviceNameView;
}

}  // namespace

bool TMeterLink::FindMeter()
{
    TRadioHandle radio = nullptr;
    const TFindHandle radioFind = FPlatform->FindFirstRadio(radio);
    if (radioFind == nullptr) {
        FRadioFound = false;
        return false;
    }
    FRadioFound = true;

    do {
        TBluetoothDeviceInfo device{};
        TDeviceSearchParams params{};
        params.ReturnAuthenticated = false;
        params.ReturnRemembered = true;
        params.ReturnUnknown = true;
        params.ReturnConnected = false;
        params.IssueInquiry = true;
        params.TimeoutMultiplier = 3;
        params.Radio = radio;

        const TFindHandle deviceFind = FPlatform->FindFirstDevice(params, device);
        if (deviceFind == nullptr) {
            FPlatform->CloseRadio(radio);
            continue;
        }
        do {
            if (IsMeter(device)) {
                FDeviceAddress = device.Address;
                FPlatform->FindDeviceClose(deviceFind);
                FPlatform->CloseRadio(radio);
                FPlatform->FindRadioClose(radioFind);
                return true;
            }
        } while (FPlatform->FindNextDevice(deviceFind, device));
        FPlatform->FindDeviceClose(deviceFind);
        FPlatform->CloseRadio(radio);
    } while (FPlatform->FindNextRadio(radioFind, radio));

    FPlatform->FindRadioClose(radioFind);
    return false;
}

bool TMeterLink::HasRadio() const
{
    return FRadioFound;
}

bool TMeterLink::OpenLink()
{
    if (FPlatform->Startup() != 0)
        return false;
    FSocket = FPlatform->OpenSocket();
    if (FSocket == InvalidSocket) {
        FPlatform->Cleanup();
        return false;
    }
    FPlatform->SetReuseAddress(FSocket);
    if (FPlatform->Connect(FSocket, FDeviceAddress, MeterServiceClass) != -1)
        return true;
    FPlatform->CloseSocket(FSocket);
    FPlatform->Cleanup();
    // A closed descriptor's number is soon handed out again; nothing may use it.
    FSocket = InvalidSocket;
    return false;
}

void TMeterLink::CloseLink()
{
    FPlatform->CloseSocket(FSocket);
    FPlatform->Cleanup();
    FSocket = InvalidSocket;
}
