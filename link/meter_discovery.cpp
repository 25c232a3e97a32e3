// Discovery of the meter among the radios' devices, and the link to it.
#include "link/discovery_walk.h"
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "link/meter_name.h"

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
    FRadioFound = WalkDiscovery(*FDiscovery, {nullptr, takeMeter}, FTrace).RadioFound;
    return found;
}

bool TMeterLink::HasRadio() const
{
    return FRadioFound;
}

bool TMeterLink::OpenLink()
{
    Trace([&] { return "connecting to " + BluetoothAddressText(FDeviceAddress); });
    if (FTransport->Startup() != 0) {
        Trace([&] { return "connection failed: the sockets did not start: " + FTransport->LinkFailureText(); });
        return false;
    }
    FSocket = FTransport->OpenSocket();
    if (FSocket == InvalidSocket) {
        Trace([&] { return "connection failed: no socket: " + FTransport->LinkFailureText(); });
        FTransport->Cleanup();
        return false;
    }
    FTransport->SetReuseAddress(FSocket);
    if (FTransport->Connect(FSocket, FDeviceAddress, MeterServiceClass) != -1) {
        Trace([] { return "connected"; });
        return true;
    }
    // Read before the socket is closed, which may change the platform's last error.
    Trace([&] { return "connection failed: " + FTransport->LinkFailureText(); });
    FTransport->CloseSocket(FSocket);
    FTransport->Cleanup();
    // A closed descriptor's number is soon handed out again; nothing may use it.
    FSocket = InvalidSocket;
    return false;
}

void TMeterLink::CloseLink()
{
    FTransport->CloseSocket(FSocket);
    FTransport->Cleanup();
    FSocket = InvalidSocket;
    Trace([] { return "link closed"; });
}
