// SPDX-License-Identifier: Apache-2.0
#include "link/discovery_walk.h"

#include "link/meter_name.h"
#include "platform/files/trace_file.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace {

using TTraceClock = std::chrono::steady_clock;

TDeviceSearchParams SearchParams(TRadioHandle radio)
{
    TDeviceSearchParams params{};
    params.ReturnAuthenticated = false;
    params.ReturnRemembered = true;
    params.ReturnUnknown = true;
    params.ReturnConnected = false;
    params.IssueInquiry = true;
    params.TimeoutMultiplier = 3;
    params.Radio = radio;
    return params;
}

// "1 radio", "2 radios".
std::string Counted(int count, const char *thing)
{
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// What a traced walk tells at its end.
class TWalkTrace {
public:
    TWalkTrace(TTraceFile &trace, std::optional<std::uint64_t> pinned)
        : FTrace(trace), FPinned(pinned), FStarted(TTraceClock::now())
    {
        FTrace.Write("discovery started");
    }

    void Listed(const TBluetoothDeviceInfo &device)
    {
        const std::u16string_view name = NameOf(device.Name);
        if (FPinned ? device.Address == *FPinned : IsMeterName(name)) {
            if (!FMeter)
                FMeter = device.Address;
        } else if (!FPinned && CompareWithMeterName(name).Likeness == TNameLikeness::NearMiss) {
            FNearMisses.push_back(QuotedName(name) + " " + BluetoothAddressText(device.Address));
        }
    }

    void Ended(const TDiscoveryWalk &walk)
    {
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(TTraceClock::now() - FStarted);
        std::string text = "discovery ended after " + std::to_string(took.count()) + " ms: ";
        if (!walk.RadioFound) {
            text += "no radio";
        } else {
            text += Counted(walk.RadiosSearched, "radio") + " searched, " + Counted(walk.DevicesListed, "device") +
                    " listed, ";
            text += FMeter ? "meter found at " + BluetoothAddressText(*FMeter) : std::string("meter not found");
            for (std::size_t i = 0; i < FNearMisses.size(); ++i)
                text += (i == 0 ? "; near misses: " : ", ") + FNearMisses[i];
        }
        FTrace.Write(text);
    }

private:
    TTraceFile &FTrace;
    std::optional<std::uint64_t> FPinned;
    TTraceClock::time_point FStarted;
    std::optional<std::uint64_t> FMeter;
    std::vector<std::string> FNearMisses;
};

} // namespace

TDiscoveryWalk WalkDiscovery(IBluetoothDiscovery &platform, const TDiscoveryVisitor &visitor, TTraceFile *trace,
                             std::optional<std::uint64_t> pinned)
{
    std::optional<TWalkTrace> traced;
    if (trace != nullptr)
        traced.emplace(*trace, pinned);

    TDiscoveryWalk walk;
    TRadioHandle radio = nullptr;
    const TFindHandle radioFind = platform.FindFirstRadio(radio);
    walk.RadioFound = radioFind != nullptr;
    while (radioFind != nullptr) {
        ++walk.RadiosSearched;
        if (visitor.Radio)
            visitor.Radio(radio);
        TBluetoothDeviceInfo device{};
        const TFindHandle deviceFind = platform.FindFirstDevice(SearchParams(radio), device);
        bool ended = false;
        if (deviceFind != nullptr) {
            do {
                ++walk.DevicesListed;
                if (traced)
                    traced->Listed(device);
                ended = visitor.Device(device);
            } while (!ended && platform.FindNextDevice(deviceFind, device));
            platform.FindDeviceClose(deviceFind);
        }
        platform.CloseRadio(radio);
        if (ended || !platform.FindNextRadio(radioFind, radio)) {
            platform.FindRadioClose(radioFind);
            break;
        }
    }

    if (traced)
        traced->Ended(walk);
    return walk;
}
