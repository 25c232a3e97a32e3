// SPDX-License-Identifier: Apache-2.0
// The Linux Bluetooth backend: BlueZ's adapters are the radios, a device search
// runs a BlueZ discovery and lists the devices BlueZ knows for the adapter, and
// the link is a kernel RFCOMM socket whose channel comes from an SDP look-up.
//
// The backend may be made on one thread and used on another (the worker's);
// its D-Bus connection is private to it and is made on the first thread that
// searches, which needs no running event loop. A QCoreApplication must exist.
#pragma once

#include "platform/bluetooth/bluetooth_discovery.h"
#include "platform/streams/byte_stream.h"

#include <chrono>
#include <cstddef>
#include <memory>

struct TBluezOptions {
    // One unit of TDeviceSearchParams::TimeoutMultiplier; 1.28 s for a real
    // inquiry, shorter in tests.
    std::chrono::milliseconds InquiryUnit{1280};
    // The shortest wait for any one answer from BlueZ. A discovery's calls
    // wait longer when its inquiry may take longer: a BlueZ busy with an
    // inquiry (its own or another program's) answers late, and an answer that
    // is late is no proof that there is no radio.
    std::chrono::milliseconds CallTimeout{3000};
};

class TBluezPlatform final : public IBluetoothDiscovery, public IMeterRoute {
public:
    explicit TBluezPlatform(TBluezOptions options = {});
    ~TBluezPlatform() override;
    TBluezPlatform(const TBluezPlatform &) = delete;
    TBluezPlatform &operator=(const TBluezPlatform &) = delete;

    TFindHandle FindFirstRadio(TRadioHandle &radio) override;
    bool FindNextRadio(TFindHandle find, TRadioHandle &radio) override;
    void FindRadioClose(TFindHandle find) override;
    void CloseRadio(TRadioHandle radio) override;
    bool GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info) override;

    TFindHandle FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device) override;
    bool FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device) override;
    void FindDeviceClose(TFindHandle find) override;

    // A kernel RFCOMM socket connected to the serial port service of the
    // device at `address`, on the channel that SDP names.
    TStreamOpening Open(std::uint64_t address) override;

    // Radio-find, radio and device-find handles handed out and not yet closed.
    std::size_t OpenHandleCount() const;
    // Sockets of streams that Open made and that are not closed yet.
    std::size_t OpenSocketCount() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};
