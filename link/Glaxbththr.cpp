// SPDX-License-Identifier: Apache-2.0
// The acquisition worker GLAXBTthr: its loop of search, connection and exchange.
#include "link/Glaxbththr.h"

#include "link/parse_reading.h"
#include "platform/threads/synchronize.h"

#include <algorithm>
#include <chrono>

GLAXBTthr *BTthr = nullptr;

namespace {

constexpr std::uint32_t CommandPollMilliseconds = 10;
constexpr std::uint32_t StopLookMilliseconds = 1;
// Between failed connections over a route without a search, which fail at
// once (a missing port, a bridge that refuses).
constexpr std::uint32_t RetryPauseMilliseconds = 1000;
// Shutdown's wait for the thread's end or a pending hand-off, in slices.
constexpr std::chrono::milliseconds ShutdownSlice{1000};

// Closes the link however the exchange ends, a hand-off's error included.
class TLinkCloser {
public:
    explicit TLinkCloser(TMeterLink &link) : FLink(link) {}
    ~TLinkCloser() { FLink.CloseLink(); }
    TLinkCloser(const TLinkCloser &) = delete;
    TLinkCloser &operator=(const TLinkCloser &) = delete;

private:
    TMeterLink &FLink;
};

}  // namespace

GLAXBTthr::GLAXBTthr(IWorkerHost &host, const TMeterWay &way, TSynchronizer &synchronizer, TTraceFile *trace)
    : TThread(),  // suspended until Start()
      TMeterLink(way, [this] { HandOff(&GLAXBTthr::ShowIndicator); }, trace),
      FHost(host),
      FSynchronizer(synchronizer)
{
    // The owner frees the object, after Shutdown has seen the thread's end.
    SetFreeOnTerminate(false);
    // FStopEvent (not signalled) and FLock are made with the object, and the
    // link's FMessageSize is ReadingMessageSize.
    SetIndicatorColor(IndicatorGrey);
    // Shutdown waits for a hand-off or the thread's end, whichever comes first.
    SetFinishedNotifier([&sync = FSynchronizer] { sync.Wake(); });
}

void GLAXBTthr::RequestStart()
{
    if (FCommand.load() != TWorkerCommand::None)
        return;
    FCommand.store(TWorkerCommand::Start);
}

void GLAXBTthr::RequestStop()
{
    if (FCommand.load() != TWorkerCommand::None)
        return;
    FCommand.store(TWorkerCommand::Stop);
    FHost.ShowStopOverlay();
}

bool GLAXBTthr::IsActive() const
{
    return FState.load() != TRunState::Idle;
}

bool GLAXBTthr::Shutdown(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    FStopEvent.SetEvent();
    if (!Started())
        return true;
    // The worker may be blocked in a hand-off (the grey indicator after the
    // stop event, say): keep running them until the thread has ended. The
    // thread's end wakes the wait too, so no slice is waited out in vain.
    while (!Finished()) {
        std::chrono::milliseconds slice = ShutdownSlice;
        if (deadline) {
            const auto left = *deadline - std::chrono::steady_clock::now();
            if (left <= left.zero())
                return false;
            slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(left));
        }
        if (FSynchronizer.WaitForPending(slice))
            FSynchronizer.CheckSynchronize();
    }
    WaitFor();
    return true;
}

void GLAXBTthr::HandOff(void (GLAXBTthr::*step)())
{
    FSynchronizer.Synchronize([this, step] { (this->*step)(); });
}

void GLAXBTthr::ShowIndicator()
{
    FHost.ShowIndicator(IndicatorColor());
}

void GLAXBTthr::ShowRunState()
{
    FHost.ShowRunState(FState.load());
}

void GLAXBTthr::ShowNoRadioError()
{
    FHost.ShowNoRadioError();
}

void GLAXBTthr::ProcessReading()
{
    // A reading is accepted whole or dropped whole, silently: a message that
    // does not parse, or a row that cannot be appended, ends here. Only the
    // trace hears why.
    try {
        TReading reading = ParseReading(Buffer().data(), MessageSize());
        try {
            FHost.AddReading(reading);
        } catch (const std::exception &error) {
            Trace([&] { return std::string("dropped: the row was not added: ") + error.what(); });
            return;
        }
        ++FRowsAdded;
        Trace([this] { return "accepted as row " + std::to_string(FRowsAdded); });
    } catch (const std::exception &error) {
        Trace([&] { return std::string("dropped: ") + error.what(); });
    } catch (...) {
        Trace([] { return "dropped"; });
    }
}

void GLAXBTthr::SetIndicator(TColor color)
{
    SetIndicatorColor(color);
    HandOff(&GLAXBTthr::ShowIndicator);
}

void GLAXBTthr::Execute()
{
    SetIndicator(IndicatorGrey);
    while (!Terminated()) {
        if (FStopEvent.WaitFor(CommandPollMilliseconds) == TWaitResult::wrSignaled) {
            Terminate();
            continue;
        }
        TakeUpCommand();
        if (FState.load() == TRunState::Idle)
            continue;
        Search();
        if (FState.load() == TRunState::MeterFound)
            ConnectAndExchange();
    }
}

void GLAXBTthr::TakeUpCommand()
{
    TRecursiveLockGuard guard(FLock);
    if (FCommand.load() == TWorkerCommand::Start && FState.load() == TRunState::Idle) {
        FCommand.store(TWorkerCommand::None);
        FState.store(TRunState::Searching);
        SetIndicator(IndicatorBlue);
        HandOff(&GLAXBTthr::ShowRunState);
    }
    if (FCommand.load() == TWorkerCommand::Stop && FState.load() == TRunState::Searching) {
        GoIdle();
        HandOff(&GLAXBTthr::ShowRunState);
    }
    DropStaleCommand();
    ++FCommandChecks;
}

// The one way back to idle: under FLock the state, and a pending stop with it
// (in idle it has nothing left to do), then the grey indicator.
void GLAXBTthr::GoIdle()
{
    {
        TRecursiveLockGuard guard(FLock);
        FState.store(TRunState::Idle);
        if (FCommand.load() == TWorkerCommand::Stop)
            FCommand.store(TWorkerCommand::None);
    }
    SetIndicator(IndicatorGrey);
}

// A command whose state has passed before the worker looked at it would stay
// pending for ever and block every later command (a stop posted just as the
// worker fell back to idle because no radio exists would leave Start dead).
// A stop that finds the worker idle, or a start that finds it searching, has
// nothing left to do: it is cleared. Caller holds FLock.
void GLAXBTthr::DropStaleCommand()
{
    const TWorkerCommand command = FCommand.load();
    const TRunState state = FState.load();
    if ((command == TWorkerCommand::Stop && state == TRunState::Idle) ||
        (command == TWorkerCommand::Start && state == TRunState::Searching))
        FCommand.store(TWorkerCommand::None);
}

void GLAXBTthr::Search()
{
    while (FState.load() == TRunState::Searching) {
        {
            TRecursiveLockGuard guard(FLock);
            if (FCommand.load() == TWorkerCommand::Stop) {
                GoIdle();
                HandOff(&GLAXBTthr::ShowRunState);
                break;
            }
            DropStaleCommand();
        }
        SetIndicator(IndicatorBlue);
        if (FindMeter()) {
            TRecursiveLockGuard guard(FLock);
            SetIndicator(IndicatorBlue);
            FState.store(TRunState::MeterFound);
            break;
        }
        if (!HasRadio()) {
            GoIdle();
            HandOff(&GLAXBTthr::ShowRunState);
            HandOff(&GLAXBTthr::ShowNoRadioError);
            break;
        }
        if (EndedByShutdown(StopLookMilliseconds))
            break;
    }
}

bool GLAXBTthr::EndedByShutdown(std::uint32_t milliseconds)
{
    if (FStopEvent.WaitFor(milliseconds) != TWaitResult::wrSignaled)
        return false;
    GoIdle();
    Terminate();
    return true;
}

// A search takes seconds, which paces the attempts of the Bluetooth routes;
// the others would open a missing port thousands of times a second. A stop
// or the shutdown ends the pause at once.
void GLAXBTthr::PauseBeforeRetry()
{
    for (std::uint32_t waited = 0; waited < RetryPauseMilliseconds; waited += CommandPollMilliseconds) {
        if (FCommand.load() == TWorkerCommand::Stop || EndedByShutdown(CommandPollMilliseconds))
            return;
    }
}

void GLAXBTthr::ConnectAndExchange()
{
    SetIndicator(IndicatorBlue);
    if (!OpenLink()) {
        {
            TRecursiveLockGuard guard(FLock);
            FState.store(TRunState::Searching);
        }
        if (!Discovers())
            PauseBeforeRetry();
        return;
    }
    TLinkCloser closer(*this);
    SetIndicator(IndicatorRed);
    TRecursiveLockGuard guard(FLock);
    if (ExchangeReading(MessageSize()))
        HandOff(&GLAXBTthr::ProcessReading);
    FState.store(TRunState::Searching);
}
