#include "tests/support/worker_test_host.h"

#include "platform/sim/simulated_meter.h"
#include "platform/socket_io.h"

#include <exception>

// ---- TTestInterfaceThread ----

TTestInterfaceThread::TTestInterfaceThread()
{
    FThread = std::thread([this] { Loop(); });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FReady; });
}

TTestInterfaceThread::~TTestInterfaceThread()
{
    FStopping = true;
    FSynchronizer->Wake();
    FThread.join();
}

void TTestInterfaceThread::Loop()
{
    {
        std::lock_guard lock(FMutex);
        FSynchronizer = std::make_unique<TSynchronizer>();
        FReady = true;
    }
    FChanged.notify_all();
    while (!FStopping) {
        if (FSynchronizer->WaitForPending(std::chrono::milliseconds(5)) && FServing)
            FSynchronizer->CheckSynchronize();
        for (;;) {
            std::function<void()> *call = nullptr;
            {
                std::lock_guard lock(FMutex);
                if (FCalls.empty())
                    break;
                call = FCalls.front();
                FCalls.pop_front();
            }
            (*call)();
            {
                std::lock_guard lock(FMutex);
                *call = nullptr;  // marks it done for Run()
            }
            FChanged.notify_all();
        }
    }
}

void TTestInterfaceThread::Run(std::function<void()> call)
{
    std::exception_ptr error;
    std::function<void()> wrapped = [&] {
        try {
            call();
        } catch (...) {
            error = std::current_exception();  // thrown again on the test's thread
        }
    };
    {
        std::lock_guard lock(FMutex);
        FCalls.push_back(&wrapped);
    }
    FSynchronizer->Wake();
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return !wrapped; });
    }
    if (error)
        std::rethrow_exception(error);
}

void TTestInterfaceThread::SetServing(bool serving)
{
    // Set on the loop's own thread: once this returns, no CheckSynchronize that
    // began before is still draining the queue.
    Run([this, serving] { FServing = serving; });
}

// ---- TWorkerTestHost ----

void TWorkerTestHost::Record(THostCall::TKind kind, std::int64_t value, const TReading &reading)
{
    THostCall call;
    call.Kind = kind;
    call.Value = value;
    call.Reading = reading;
    call.Time = TTestClock::now();
    call.OnInterfaceThread = FUi.IsInterfaceThread();
    {
        std::lock_guard lock(FMutex);
        FCalls.push_back(call);
    }
    FChanged.notify_all();
}

void TWorkerTestHost::ShowIndicator(TColor color)
{
    Record(THostCall::TKind::Indicator, color);
}

void TWorkerTestHost::ShowRunState(TRunState state)
{
    Record(THostCall::TKind::RunState, static_cast<std::int64_t>(state));
}

void TWorkerTestHost::ShowNoRadioError()
{
    Record(THostCall::TKind::NoRadioError);
    if (OnNoRadioError)
        OnNoRadioError();
}

void TWorkerTestHost::ShowStopOverlay()
{
    Record(THostCall::TKind::StopOverlay);
}

void TWorkerTestHost::AddReading(const TReading &reading)
{
    Record(THostCall::TKind::Reading, 0, reading);
}

std::vector<THostCall> TWorkerTestHost::Calls() const
{
    std::lock_guard lock(FMutex);
    return FCalls;
}

std::vector<THostCall> TWorkerTestHost::CallsOf(THostCall::TKind kind) const
{
    std::vector<THostCall> found;
    for (const THostCall &call : Calls())
        if (call.Kind == kind)
            found.push_back(call);
    return found;
}

std::size_t TWorkerTestHost::CountOf(THostCall::TKind kind) const
{
    return CallsOf(kind).size();
}

std::vector<TColor> TWorkerTestHost::Colors() const
{
    std::vector<TColor> colors;
    for (const THostCall &call : CallsOf(THostCall::TKind::Indicator))
        colors.push_back(static_cast<TColor>(call.Value));
    return colors;
}

bool TWorkerTestHost::WaitUntil(const std::function<bool(const std::vector<THostCall> &)> &done,
                                std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, timeout, [&] { return done(FCalls); });
}

bool TWorkerTestHost::WaitForCount(THostCall::TKind kind, std::size_t count, std::chrono::milliseconds timeout) const
{
    return WaitUntil(
        [&](const std::vector<THostCall> &calls) {
            std::size_t n = 0;
            for (const THostCall &call : calls)
                n += call.Kind == kind ? 1 : 0;
            return n >= count;
        },
        timeout);
}

// ---- TWorkerTestPlatform ----

TWorkerTestPlatform::~TWorkerTestPlatform() = default;

void TWorkerTestPlatform::SetHold(bool hold)
{
    {
        std::lock_guard lock(FGateMutex);
        FHold = hold;
    }
    FGateChanged.notify_all();
}

void TWorkerTestPlatform::Release(int discoveries)
{
    {
        std::lock_guard lock(FGateMutex);
        FReleases += discoveries;
    }
    FGateChanged.notify_all();
}

bool TWorkerTestPlatform::WaitForDiscoveries(int count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(FGateMutex);
    return FGateChanged.wait_for(lock, timeout, [&] { return FStarted >= count; });
}

int TWorkerTestPlatform::DiscoveriesStarted() const
{
    std::lock_guard lock(FGateMutex);
    return FStarted;
}

TFindHandle TWorkerTestPlatform::FindFirstRadio(TRadioHandle &radio)
{
    {
        std::unique_lock lock(FGateMutex);
        ++FStarted;
        FGateChanged.notify_all();
        FGateChanged.wait(lock, [this] { return !FHold || FReleases > 0; });
        if (FHold)
            --FReleases;
    }
    if (!HasRadio) {
        radio = nullptr;
        return nullptr;
    }
    FOpenHandles += 2;
    radio = &FRadioToken;
    return &FRadioFindToken;
}

bool TWorkerTestPlatform::FindNextRadio(TFindHandle, TRadioHandle &)
{
    return false;
}

void TWorkerTestPlatform::FindRadioClose(TFindHandle)
{
    --FOpenHandles;
}

void TWorkerTestPlatform::CloseRadio(TRadioHandle)
{
    --FOpenHandles;
}

bool TWorkerTestPlatform::GetRadioInfo(TRadioHandle, TBluetoothRadioInfo &info)
{
    info = TBluetoothRadioInfo{};
    return true;
}

TFindHandle TWorkerTestPlatform::FindFirstDevice(const TDeviceSearchParams &, TBluetoothDeviceInfo &device)
{
    if (SearchMilliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(SearchMilliseconds.load()));
    const std::u16string_view name = ListsMeter ? u"Dravel-GLAX20k" : u"Dravel-GLAX20K";
    device = TBluetoothDeviceInfo{};
    name.copy(device.Name.data(), name.size());
    device.Address = MeterAddress;
    ++FOpenHandles;
    return &FDeviceFindToken;
}

bool TWorkerTestPlatform::FindNextDevice(TFindHandle, TBluetoothDeviceInfo &)
{
    return false;
}

void TWorkerTestPlatform::FindDeviceClose(TFindHandle)
{
    --FOpenHandles;
}

int TWorkerTestPlatform::Startup()
{
    ++FStartups;
    return 0;
}

TSocketHandle TWorkerTestPlatform::OpenSocket()
{
    const TSocketHandle socket = FMeter != nullptr ? FMeter->Connect() : InvalidSocket;
    if (socket != InvalidSocket)
        ++FOpenSockets;
    return socket;
}

void TWorkerTestPlatform::SetReuseAddress(TSocketHandle) {}

int TWorkerTestPlatform::Connect(TSocketHandle, std::uint64_t address, const TServiceClassId &)
{
    if (ConnectFails || address != MeterAddress)
        return -1;
    ++FConnections;
    return 0;
}

void TWorkerTestPlatform::CloseSocket(TSocketHandle socket)
{
    CloseSocketHandle(socket);
    --FOpenSockets;
}

void TWorkerTestPlatform::Cleanup()
{
    --FStartups;
}

std::string TWorkerTestPlatform::LinkFailureText() const
{
    return "the test refused the connection";
}
