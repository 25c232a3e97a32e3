// Discovery of the meter among the radios' devices, and the link to it.
#include "link/discovery_walk.h"
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "link/meter_name.h"
#include "platform/bluetooth_platform.h"

#include <string>

bool TMeterLink::FindMeter()
{
    // The first device with the meter's name, in the platform's order, ends the walk.
    bool found = false;
    const auto takeMeter = [this, &found](const TBluetoothDeviceInfo &device) {
        if (!IsMeterName(NameOf(device.Name)))
            return false;
        FDeviceAddress = device.Address;
        found = true;
        return true;
    };
    FRadioFound = WalkDiscovery(*FPlatform, {nullptr, takeMeter}, FTrace).RadioFound;
    return found;
}

bool TMeterLink::HasRadio() const
{
    return FRadioFound;
}

bool TMeterLink::OpenLink()
{
    Trace([&] { return "connecting to " + BluetoothAddressText(FDeviceAddress); });
    if (FPlatform->Startup() != 0) {
        Trace([&] { return "connection failed: the sockets did not start: " + FPlatform->LinkFailureText(); });
        return false;
    }
    FSocket = FPlatform->OpenSocket();
    if (FSocket == InvalidSocket) {
        Trace([&] { return "connection failed: no socket: " + FPlatform->LinkFailureText(); });
        FPlatform->Cleanup();
        return false;
    }
    FPlatform->SetReuseAddress(FSocket);
    if (FPlatform->Connect(FSocket, FDeviceAddress, MeterServiceClass) != -1) {
        Trace([] { return "connected"; });
        return true;
    }
    // Read before the socket is closed, which may change the platform's last error.
    Trace([&] { return "connection failed: " + FPlatform->LinkFailureText(); });
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
    Trace([] { return "link closed"; });
}
