// Test doubles for driving the acquisition worker without windows:
// - TTestInterfaceThread: a thread that plays the interface thread, serving the
//   worker's hand-offs in a WaitForPending + CheckSynchronize loop and running
//   the test's own calls (RequestStart, Shutdown, ...) on that thread;
// - TWorkerTestHost: records every host call with its time;
// - TWorkerTestPlatform: scripted radios for discovery, whose link is a socket
//   to a simulated meter, with a gate that holds a discovery under way.
#pragma once

#include "link/worker_host.h"
#include "platform/bluetooth_platform.h"
#include "platform/synchronize.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TSimulatedMeter;

using TTestClock = std::chrono::steady_clock;

class TTestInterfaceThread {
public:
    TTestInterfaceThread();
    ~TTestInterfaceThread();
    TTestInterfaceThread(const TTestInterfaceThread &) = delete;
    TTestInterfaceThread &operator=(const TTestInterfaceThread &) = delete;

    // Made on the interface thread, so that is its interface thread.
    TSynchronizer &Synchronizer() { return *FSynchronizer; }

    // Runs `call` on the interface thread, outside any hand-off, and waits.
    void Run(std::function<void()> call);

    // While off, the loop runs the test's calls but no hand-off, like an
    // interface thread that is busy elsewhere.
    void SetServing(bool serving);

    bool IsInterfaceThread() const { return std::this_thread::get_id() == FThread.get_id(); }

private:
    void Loop();

    std::unique_ptr<TSynchronizer> FSynchronizer;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::function<void()> *> FCalls;  // guarded by FMutex
    bool FReady = false;                         // guarded by FMutex
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FServing{true};
    std::thread FThread;
};

struct THostCall {
    enum class TKind { Indicator, RunState, NoRadioError, StopOverlay, Reading };
    TKind Kind = TKind::Indicator;
    std::int64_t Value = 0;  // the colour or the state
    TReading Reading{};
    TTestClock::time_point Time;
    bool OnInterfaceThread = false;
};

class TWorkerTestHost : public IWorkerHost {
public:
    explicit TWorkerTestHost(const TTestInterfaceThread &ui) : FUi(ui) {}

    void ShowIndicator(TColor color) override;
    void ShowRunState(TRunState state) override;
    void ShowNoRadioError() override;
    void ShowStopOverlay() override;
    void AddReading(const TReading &reading) override;

    // Runs inside ShowNoRadioError, as the operator's time with the box.
    std::function<void()> OnNoRadioError;

    std::vector<THostCall> Calls() const;
    std::vector<THostCall> CallsOf(THostCall::TKind kind) const;
    std::size_t CountOf(THostCall::TKind kind) const;
    // The indicator colours in the order shown.
    std::vector<TColor> Colors() const;
    // Waits until `done(calls)` holds; true when it did within the timeout.
    bool WaitUntil(const std::function<bool(const std::vector<THostCall> &)> &done,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) const;
    bool WaitForCount(THostCall::TKind kind, std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) const;

private:
    void Record(THostCall::TKind kind, std::int64_t value = 0, const TReading &reading = {});

    const TTestInterfaceThread &FUi;
    mutable std::mutex FMutex;
    mutable std::condition_variable FChanged;
    std::vector<THostCall> FCalls;
};

// One radio (or none) whose search lists the meter (or a look-alike); the link
// is a fresh connection to the simulated meter. All settings may change while
// the worker runs.
class TWorkerTestPlatform : public IBluetoothPlatform {
public:
    explicit TWorkerTestPlatform(TSimulatedMeter *meter) : FMeter(meter) {}
    ~TWorkerTestPlatform() override;

    std::atomic<bool> HasRadio{true};
    std::atomic<bool> ListsMeter{true};
    std::atomic<bool> ConnectFails{false};
    // How long each radio's search blocks, the inquiry time.
    std::atomic<int> SearchMilliseconds{0};

    // While held, each discovery stops at its start until Release() or
    // SetHold(false); DiscoveriesStarted() counts the ones that began.
    void SetHold(bool hold);
    void Release(int discoveries = 1);
    bool WaitForDiscoveries(int count, std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
    int DiscoveriesStarted() const;

    int OpenHandles() const { return FOpenHandles.load(); }
    int OpenSockets() const { return FOpenSockets.load(); }
    int Startups() const { return FStartups.load(); }
    int Connections() const { return FConnections.load(); }

    TFindHandle FindFirstRadio(TRadioHandle &radio) override;
    bool FindNextRadio(TFindHandle find, TRadioHandle &radio) override;
    void FindRadioClose(TFindHandle find) override;
    void CloseRadio(TRadioHandle radio) override;
    bool GetRadioInfo(TRadioHandle radio, TBluetoothRadioInfo &info) override;
    TFindHandle FindFirstDevice(const TDeviceSearchParams &params, TBluetoothDeviceInfo &device) override;
    bool FindNextDevice(TFindHandle find, TBluetoothDeviceInfo &device) override;
    void FindDeviceClose(TFindHandle find) override;
    int Startup() override;
    TSocketHandle OpenSocket() override;
    void SetReuseAddress(TSocketHandle socket) override;
    int Connect(TSocketHandle socket, std::uint64_t address, const TServiceClassId &serviceClass) override;
    void CloseSocket(TSocketHandle socket) override;
    void Cleanup() override;
    std::string LinkFailureText() const override;

    static constexpr std::uint64_t MeterAddress = 0x0012A1B2C3D4ull;

private:
    TSimulatedMeter *FMeter;
    int FRadioToken = 0, FRadioFindToken = 0, FDeviceFindToken = 0;
    std::atomic<int> FOpenHandles{0}, FOpenSockets{0}, FStartups{0}, FConnections{0};

    mutable std::mutex FGateMutex;
    std::condition_variable FGateChanged;
    bool FHold = false;    // guarded by FGateMutex
    int FReleases = 0;     // guarded by FGateMutex
    int FStarted = 0;      // guarded by FGateMutex
};
