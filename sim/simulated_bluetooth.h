// SPDX-License-Identifier: Apache-2.0
// The simulated computer's Bluetooth: scripted radios and device lists, and a
// link that leads to the simulated meter (or anything else that hands out the
// computer's end of a connection). Discovery and link run over it unchanged, so
// the program, its tests and the benchmarks work on any machine; it is the one
// stand-in for a computer's Bluetooth.
//
// For the tests it keeps a log of every call with the handle it concerns, the
// parameters of every search and every connect, counts that can be waited on,
// notes every call its contract forbids, fails to connect on cue and can hold
// each discovery at its start until the test lets it go.
//
// Its route opens a stream to the meter when the device at the address is
// reachable and the meter takes the connection; the streams it opens must end
// before it does.
#pragma once

#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/streams/byte_stream.h"
#include "platform/sockets/socket_handle.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class TSimulatedMeter;

struct TSimulatedDevice {
    std::u16string Name;
    std::uint64_t Address = 0;
    // Remembered devices are listed without an inquiry; others only when a
    // search issues one and asks for unknown devices.
    bool Remembered = true;
    // A device that is listed but out of reach (a remembered meter switched off).
    bool Reachable = true;
    // A remembered device is paired unless this says otherwise.
    bool Paired = true;
};

// One entry per radio, in the platform's order, each with its devices in order.
using TSimulatedRadios = std::vector<std::vector<TSimulatedDevice>>;

// Returns the computer's end of a new connection, or InvalidSocket to refuse.
using TMeterConnector = std::function<TSocketHandle()>;

// Failures on cue; each holds until it is switched off again.
struct TSimulatedFaults {
    bool ConnectFails = false;  // Open fails, as to a meter out of reach
};

class TSimulatedBluetooth : public IBluetoothDiscovery, public IMeterRoute {
public:
    static constexpr std::uint64_t MeterAddress = 0x00A4C1380F2Bu;
    // Radio n (0, 1, ...) is named "simulated radio n+1" and has this address plus n.
    static constexpr std::uint64_t FirstRadioAddress = 0x0A5E00000001u;
    static constexpr std::chrono::milliseconds DefaultInquiry{100};

    // Ready-made scripts; meterName is the name the meter's device goes by.
    static TSimulatedRadios NoRadio();
    static TSimulatedRadios RadiosWithoutDevices(std::size_t radios = 2);
    // A headset the computer does not know, then the meter.
    static TSimulatedRadios MeterOnFirstRadio(std::u16string_view meterName);
    // The first radio lists no device, the second a look-alike, a phone and the meter.
    static TSimulatedRadios MeterOnSecondRadio(std::u16string_view meterName);
    // Names that differ from the meter's in case, by a trailing space, by going
    // on after it, by stopping short, and an empty one.
    static TSimulatedRadios LookAlikesOnly(std::u16string_view meterName);
    // The meter is remembered and listed, but switched off: connecting fails.
    static TSimulatedRadios MeterSwitchedOff(std::u16string_view meterName);

    TSimulatedBluetooth(TSimulatedRadios radios, TMeterConnector connector,
                        std::chrono::milliseconds inquiry = DefaultInquiry);
    // Connections go to the meter, which must outlive this platform.
    TSimulatedBluetooth(TSimulatedRadios radios, TSimulatedMeter &meter,
                        std::chrono::milliseconds inquiry = DefaultInquiry);
    ~TSimulatedBluetooth() override;
    TSimulatedBluetooth(const TSimulatedBluetooth &) = delete;
    TSimulatedBluetooth &operator=(const TSimulatedBluetooth &) = delete;

    // Each may change at any time, also while a worker runs over the platform;
    // the next call sees the change (a meter switched on later, ...).
    void SetRadios(TSimulatedRadios radios);
    void SetFaults(TSimulatedFaults faults);

    // While held, every discovery stops at its start (in FindFirstRadio) until
    // Release lets that many go on, or SetHold(false) lets all go.
    void SetHold(bool hold);
    void Release(int discoveries = 1);

    struct TCounts {
        int Discoveries = 0;        // discoveries begun (FindFirstRadio), held ones too
        int Searches = 0;           // device searches, one per radio searched
        int Connects = 0;           // streams opened
        int FailedConnects = 0;
        int StreamsClosed = 0;
        int OpenHandles = 0;        // discovery handles not closed yet
    };
    TCounts Counts() const;
    // Waits until `done` holds for the counts; true when it did within the timeout.
    bool WaitForCounts(const std::function<bool(const TCounts &)> &done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    bool WaitForDiscoveries(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Calls this platform's contract forbids: a handle used when it is not
    // open. Empty when the caller is sound.
    std::vector<std::string> Misuses() const;

    // The records below are kept from the start; a program that runs for days
    // switches them off.
    void KeepRecords(bool keep);
    // Every call in order, those on a handle with the handle's name: "radios"
    // (the radio-find handle), "radio0", "devices0" (radio 0's device-find
    // handle), ...: "FindFirstRadio", "FindFirstDevice radio0", "CloseRadio radio0";
    // "Open" and "Close" for each stream.
    std::vector<std::string> Calls() const;
    // What each device search asked for, in order.
    std::vector<TDeviceSearchParams> SearchParams() const;
    // The address of every Open, in order.
    std::vector<std::uint64_t> ConnectRequests() const;

    TFindHandle FindFirstRadio(TRadioHandle &radio) override;
    bool FindNextRadio(TFindHandle find, TRadioHandle &radio) override;
    void FindRadioClose(TFindHandle find) override;
    void CloseRadio(TRadioHandle radio) override;
    bool GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info) override;
    TFindHandle FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device) override;
    bool FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device) override;
    void FindDeviceClose(TFindHandle find) override;

    TStreamOpening Open(std::uint64_t address) override;

private:
    enum class TKind { RadioFind, Radio, DeviceFind };
    struct THandle {
        TKind Kind = TKind::Radio;
        std::size_t Index = 0;                 // RadioFind: next radio; others: their radio
        std::vector<TSimulatedDevice> Listed;  // DeviceFind: what the search found
        std::size_t Next = 0;                  // DeviceFind: next device to hand out
    };

    // Caller holds FLock for all of these.
    void *NewHandle(TKind kind, std::size_t index);
    THandle *Find(const void *handle, TKind kind, const char *call);
    std::string NameOf(const void *handle) const;
    void Close(const void *handle, TKind kind, const char *call);
    void Log(std::string call);
    void Misuse(std::string what);
    bool Reachable(std::uint64_t address) const;
    TCounts CountsLocked() const;  // the counts with the open handles

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;  // any count, the hold or the releases changed
    TSimulatedRadios FRadios;
    TMeterConnector FConnector;
    std::chrono::milliseconds FInquiry;
    TSimulatedFaults FFaults;
    // Handles are numbers, never used twice, so a closed handle stays closed.
    std::map<std::uintptr_t, THandle> FHandles;
    std::uintptr_t FLastHandle = 0;
    bool FHold = false;
    int FReleases = 0;
    TCounts FCounts;
    std::vector<std::string> FMisuses;
    bool FKeepRecords = true;
    std::vector<std::string> FCalls;
    std::vector<TDeviceSearchParams> FSearchParams;
    std::vector<std::uint64_t> FConnectRequests;
};
