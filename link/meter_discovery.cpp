// SPDX-License-Identifier: Apache-2.0
// Discovery of the meter among the radios' devices, and the link to it.
#include "link/discovery_walk.h"
#include "link/meter_identity.h"
#include "link/meter_link.h"
#include "link/meter_name.h"

#include <string>

bool TMeterLink::FindMeter()
{
    if (FWay.Discovery == nullptr) {
        // The route leads straight to the meter: nothing to search.
        FRadioFound = true;
        return true;
    }
    // The first device with the meter's name, or at the pinned address, in the
    // platform's order, ends the walk.
    bool found = false;
    const auto takeMeter = [this, &found](const TBluetoothDeviceInfo &device) {
        const bool meter = FWay.PinnedAddress ? device.Address == *FWay.PinnedAddress
                                              : IsMeterName(NameOf(device.Name));
        if (!meter)
            return false;
        FDeviceAddress = device.Address;
        found = true;
        return true;
    };
    FRadioFound = WalkDiscovery(*FWay.Discovery, {nullptr, takeMeter}, FTrace, FWay.PinnedAddress).RadioFound;
    return found;
}

bool TMeterLink::HasRadio() const
{
    return FRadioFound;
}

bool TMeterLink::OpenLink()
{
    Trace([&] { return "connecting to " + (FWay.Discovery ? BluetoothAddressText(FDeviceAddress) : FWay.RouteName); });
    TStreamOpening opening = FWay.Route->Open(FDeviceAddress);
    if (!opening.Stream) {
        Trace([&] { return "connection failed: " + opening.Failure; });
        return false;
    }
    FStream = std::move(opening.Stream);
    Trace([] { return "connected"; });
    return true;
}

void TMeterLink::CloseLink()
{
    FStream.reset();
    Trace([] { return "link closed"; });
}
