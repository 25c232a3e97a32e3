// SPDX-License-Identifier: Apache-2.0
#include "publish/publisher.h"

#include "publish/connection_failure.h"
#include "publish/outbox.h"
#include "publish/tls_context.h"
#include "platform/sockets/tcp_socket.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kQos = 1;
// Reason codes from 0x80 on say that the broker did not do what was asked.
constexpr int kFirstFailureCode = 0x80;
constexpr int kKeepAliveSeconds = 30;
// Messages sent but not yet acknowledged, at most: fewer than the library's
// own limit, so none of ours waits inside it where we cannot see it.
constexpr std::size_t kInFlight = 10;
// How long the library waits for the network in one turn: a new reading goes
// out within this time.
constexpr int kTurnMilliseconds = 10;
// At the end: how long "offline" may take to be acknowledged.
constexpr auto kGoodbye = std::chrono::milliseconds(1000);
// At the end: how long the thread may take to finish, the goodbye included.
constexpr auto kEndPatience = std::chrono::milliseconds(2000);

// One message on its way: its place in an outbox (when it has one), and the
// message id of the connection that sent it (0: not sent on this connection).
struct TEntry {
    TOutbox *Outbox = nullptr;
    int Number = 0;
    TOutboxMessage Message;
    int Mid = 0;
};

struct TClientDeleter {
    void operator()(mosquitto *client) const { mosquitto_destroy(client); }
};
using TClient = std::unique_ptr<mosquitto, TClientDeleter>;

} // namespace

void InitialisePublishing()
{
    InitialiseTls();
    mosquitto_lib_init();
}

struct TPublisher::TState {
    TPublishOptions Options;
    TPublishingRun Run;
    IPublishListener &Listener;
    TRetryPauses Pauses;
    std::string Broker;       // the --publish value in its plain form
    std::string StatusTopic;
    std::unique_ptr<TTlsContext> Tls;

    mutable std::mutex Lock;  // guards what follows, never held over a network wait
    std::condition_variable Wake;
    bool Stopping = false;
    std::deque<TEntry> Queue;  // in order; acknowledged ones leave it
    std::vector<std::unique_ptr<TOutbox>> LeftOvers;
    std::unique_ptr<TOutbox> Own;
    bool OwnFailed = false;
    TBrokerState Reported;
    bool Connected = false;
    std::string LastProblem;
    bool Told = false;  // the first attempt has had its outcome (publisher's thread)

    // Of the current connection, on the publisher's thread only.
    bool Answered = false;
    int Refusal = 0;            // the broker's CONNACK code, when it refused
    std::string LastLogError;   // the library's last error line
    int GoodbyeMid = 0;
    bool GoodbyeAcknowledged = false;
    int Declined = 0;           // the reason code of a reading the broker did not take
    std::size_t FamilyTurn = 0;  // which of the broker's address families to try

    std::thread Thread;
    bool Ended = false;  // the thread has left Serve
    std::condition_variable EndedOrDelivered;

    TState(TPublishOptions options, TPublishingRun run, IPublishListener &listener, TRetryPauses pauses)
        : Options(std::move(options)), Run(std::move(run)), Listener(listener), Pauses(pauses),
          Broker(BrokerAddressText(Options.Broker)), StatusTopic(::StatusTopic(Options.Broker.Prefix, Run.Host))
    {
    }

    int WaitingLocked() const { return static_cast<int>(Queue.size()); }

    // Tells the listener when the state it last heard of reads differently:
    // while connected, the count of readings on their way is no news.
    void ReportState()
    {
        if (!Told)
            return;  // the first attempt is still under way
        TBrokerState state;
        {
            const std::lock_guard<std::mutex> hold(Lock);
            state = {Connected, WaitingLocked()};
            if (BrokerStateText(state) == BrokerStateText(Reported))
                return;
            Reported = state;
        }
        Listener.BrokerStateChanged(state);
    }

    // Whether the listener's state reads differently from the queue's now.
    bool StateChangedLocked() const { return BrokerStateText({Connected, WaitingLocked()}) != BrokerStateText(Reported); }

    void ReportProblem(const std::string &cause)
    {
        if (cause == LastProblem)
            return;
        LastProblem = cause;
        Listener.BrokerProblem("Publishing to " + Broker + ": " + cause);
    }

    // Waits `pause`, or less when the program ends (then false), telling the
    // listener of each reading that comes to wait meanwhile.
    bool Pause(std::chrono::milliseconds pause)
    {
        const TClock::time_point until = TClock::now() + pause;
        for (;;) {
            {
                std::unique_lock<std::mutex> hold(Lock);
                Wake.wait_until(hold, until, [this] { return Stopping || StateChangedLocked(); });
                if (Stopping)
                    return false;
            }
            ReportState();
            if (TClock::now() >= until)
                return true;
        }
    }

    bool StoppingNow() const
    {
        const std::lock_guard<std::mutex> hold(Lock);
        return Stopping;
    }

    TClient NewClient()
    {
        TClient client(mosquitto_new(nullptr, true, this));
        if (!client)
            throw std::bad_alloc();
        // Version 5, whose acknowledgement says whether the broker took the
        // message: an older broker's acknowledges one that its access list
        // then drops, and the reading would be lost unseen.
        mosquitto_int_option(client.get(), MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        if (Tls) {
            // Our context as it is: the library's defaults would want a CA file.
            mosquitto_int_option(client.get(), MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
            mosquitto_void_option(client.get(), MOSQ_OPT_SSL_CTX, Tls->Context());
        }
        if (!Options.User.empty())
            mosquitto_username_pw_set(client.get(), Options.User.c_str(),
                                      Options.Password.empty() ? nullptr : Options.Password.c_str());
        mosquitto_will_set(client.get(), StatusTopic.c_str(), 7, "offline", kQos, true);
        mosquitto_connect_v5_callback_set(client.get(), [](mosquitto *, void *self, int code, int, const mosquitto_property *) {
            static_cast<TState *>(self)->Connack(code);
        });
        mosquitto_publish_v5_callback_set(client.get(), [](mosquitto *, void *self, int mid, int code,
                                                           const mosquitto_property *) {
            static_cast<TState *>(self)->Acknowledged(mid, code);
        });
        mosquitto_log_callback_set(client.get(), [](mosquitto *, void *self, int level, const char *text) {
            if (level == MOSQ_LOG_ERR && text != nullptr)
                static_cast<TState *>(self)->LastLogError = text;
        });
        return client;
    }

    void Connack(int code)
    {
        Answered = true;
        Refusal = code;
    }

    void Acknowledged(int mid, int code)
    {
        if (mid == GoodbyeMid) {
            GoodbyeAcknowledged = true;
            return;
        }
        if (code >= kFirstFailureCode) {
            // Not taken: the reading stays, and the connection ends with the reason.
            if (!Declined)
                Declined = code;
            return;
        }
        TOutbox *outbox = nullptr;
        int number = 0;
        {
            const std::lock_guard<std::mutex> hold(Lock);
            const auto entry = std::find_if(Queue.begin(), Queue.end(), [mid](const TEntry &e) { return e.Mid == mid; });
            if (entry == Queue.end())
                return;  // "online": nothing waits for it
            // Readings go through again: a failure that comes back is news.
            LastProblem.clear();
            outbox = entry->Outbox;
            number = entry->Number;
            Queue.erase(entry);
            if (Queue.empty())
                EndedOrDelivered.notify_all();
            if (outbox != nullptr) {
                const std::string failure = outbox->Acknowledge(number);
                (void)failure;  // a lost record only sends the message again next time
            }
        }
        ReportState();
    }

    // Sends what waits, in order, as far as the window of messages in flight
    // allows. The library is called without our lock: it takes locks of its
    // own, also around the acknowledgements, which take ours. Only this thread
    // removes entries, and a deque keeps its elements where they are while
    // Publish adds at its end.
    void SendWaiting(mosquitto *client)
    {
        std::vector<TEntry *> unsent;
        {
            const std::lock_guard<std::mutex> hold(Lock);
            std::size_t inFlight = 0;
            for (TEntry &entry : Queue) {
                if (inFlight >= kInFlight)
                    break;
                ++inFlight;
                if (entry.Mid == 0)
                    unsent.push_back(&entry);
            }
        }
        for (TEntry *entry : unsent) {
            int mid = 0;
            if (mosquitto_publish(client, &mid, entry->Message.Topic.c_str(),
                                  static_cast<int>(entry->Message.Payload.size()), entry->Message.Payload.data(), kQos,
                                  false) != MOSQ_ERR_SUCCESS)
                break;  // the connection is going; the next one sends it
            const std::lock_guard<std::mutex> hold(Lock);
            entry->Mid = mid;
        }
    }

    void ForgetSent()
    {
        const std::lock_guard<std::mutex> hold(Lock);
        for (TEntry &entry : Queue)
            entry.Mid = 0;
    }

    // The words for a failed attempt or a lost connection.
    TConnectionFailure FailureOf(int result)
    {
        if (Refusal != 0)
            return RefusalFailure(Refusal);
        if (Tls) {
            const std::string refused = Tls->TakeRefusal();
            if (!refused.empty())
                return CertificateFailure(refused);
        }
        return LibraryFailure(result, LastLogError);
    }

    // The library tries only the first of the broker's addresses whose
    // connection starts, and gives up when that one is refused later: a name
    // with IPv4 and IPv6 addresses, whose broker listens on one family only,
    // would never be reached. So each attempt keeps to one family (a local
    // wildcard address to bind to, IPv4 first), and a failed attempt hands
    // over to the other.
    std::string FamilyToTry() const
    {
        const std::vector<std::string> wildcards = TcpSocket::WildcardsOfFamiliesOf(Options.Broker.Host);
        return wildcards.size() < 2 ? std::string() : wildcards[FamilyTurn % wildcards.size()];
    }

    struct TOutcome {
        bool WasOnline = false;
        std::optional<TConnectionFailure> Failure;
    };

    // One connection, from the attempt to its end.
    TOutcome Connection()
    {
        Answered = false;
        Refusal = 0;
        Declined = 0;
        LastLogError.clear();
        GoodbyeMid = 0;
        GoodbyeAcknowledged = false;
        TClient client = NewClient();
        const std::string keepTo = FamilyToTry();
        int result = mosquitto_connect_bind_async(client.get(), Options.Broker.Host.c_str(), Options.Broker.Port,
                                                  kKeepAliveSeconds, keepTo.empty() ? nullptr : keepTo.c_str());
        if (result != MOSQ_ERR_SUCCESS)
            return {false, FailureOf(result)};
        const TClock::time_point answerBy = TClock::now() + std::chrono::milliseconds(Pauses.AnswerMilliseconds);
        bool online = false;
        std::optional<TConnectionFailure> failure;
        for (;;) {
            result = mosquitto_loop(client.get(), kTurnMilliseconds, 1);
            if (Answered && Refusal != 0) {
                failure = FailureOf(result);
                break;
            }
            if (result != MOSQ_ERR_SUCCESS) {
                failure = FailureOf(result);
                break;
            }
            if (Declined != 0) {
                failure = DeclinedFailure(Declined);
                mosquitto_disconnect(client.get());
                break;
            }
            if (Answered && !online) {
                online = true;
                Told = true;
                mosquitto_publish(client.get(), nullptr, StatusTopic.c_str(), 6, "online", kQos, true);
                {
                    const std::lock_guard<std::mutex> hold(Lock);
                    Connected = true;
                }
                ReportState();
            }
            if (!Answered) {
                // The library does not see a refused connection until its
                // wait runs out; the system knows at once.
                if (ConnectFailed(mosquitto_socket(client.get()))) {
                    failure = TConnectionFailure{"the connection was refused or broken off", false};
                    break;
                }
            }
            if (!Answered && TClock::now() > answerBy) {
                failure = TConnectionFailure{"the broker did not answer within " +
                                                 std::to_string(Pauses.AnswerMilliseconds / 1000) + " s",
                                             false};
                break;
            }
            if (online)
                SendWaiting(client.get());
            ReportState();
            if (StoppingNow()) {
                if (online)
                    SayGoodbye(client.get());
                break;
            }
        }
        {
            const std::lock_guard<std::mutex> hold(Lock);
            Connected = false;
        }
        EndedOrDelivered.notify_all();
        ForgetSent();
        if (!StoppingNow())
            ReportState();  // the program's own end is no news
        return {online, failure};
    }

    // The last will goes out only when a connection breaks; at an orderly end
    // the status says "offline" itself.
    void SayGoodbye(mosquitto *client)
    {
        if (mosquitto_publish(client, &GoodbyeMid, StatusTopic.c_str(), 7, "offline", kQos, true) == MOSQ_ERR_SUCCESS) {
            const TClock::time_point giveUp = TClock::now() + kGoodbye;
            while (!GoodbyeAcknowledged && TClock::now() < giveUp &&
                   mosquitto_loop(client, kTurnMilliseconds, 1) == MOSQ_ERR_SUCCESS) {
            }
        }
        mosquitto_disconnect(client);
        mosquitto_loop(client, kTurnMilliseconds, 1);  // sends the DISCONNECT
    }

    void Serve()
    {
        const auto first = std::chrono::milliseconds(Pauses.FirstMilliseconds);
        const auto longest = std::chrono::milliseconds(Pauses.LongestMilliseconds);
        auto pause = first;
        struct TEndMark {
            TState &State;
            ~TEndMark()
            {
                {
                    const std::lock_guard<std::mutex> hold(State.Lock);
                    State.Ended = true;
                }
                State.EndedOrDelivered.notify_all();
            }
        } endMark{*this};
        while (!StoppingNow()) {
            const TOutcome outcome = Connection();
            if (StoppingNow())
                break;
            Told = true;
            ReportState();
            if (!outcome.WasOnline && !(outcome.Failure && outcome.Failure->NeedsPerson))
                ++FamilyTurn;  // not reached this way
            if (outcome.Failure && outcome.Failure->NeedsPerson) {
                ReportProblem(outcome.Failure->Cause);
                pause = longest;
            } else if (outcome.WasOnline) {
                pause = first;  // it was up a moment ago: try again soon
            }
            if (!Pause(pause))
                break;
            pause = std::min(pause * 2, longest);
        }
    }
};

TPublisher::TPublisher(TPublishOptions options, TPublishingRun run, IPublishListener &listener, TRetryPauses pauses)
    : F(std::make_unique<TState>(std::move(options), std::move(run), listener, pauses))
{
    if (F->Options.Broker.Tls)
        F->Tls = std::make_unique<TTlsContext>(F->Options.Broker.Host, F->Options.CaFile);
    if (!F->Options.OutboxFolder.empty()) {
        F->LeftOvers = TOutbox::LeftIn(F->Options.OutboxFolder, F->Broker);
        for (const std::unique_ptr<TOutbox> &outbox : F->LeftOvers)
            for (const TNumberedMessage &waiting : outbox->Waiting())
                F->Queue.push_back({outbox.get(), waiting.Number, waiting.Message, 0});
    }
    // The first attempt's outcome is always told: reached, or not.
    F->Reported = {false, -1};
    F->Thread = std::thread([state = F.get()] { state->Serve(); });
}

TPublisher::~TPublisher()
{
    std::unique_lock<std::mutex> hold(F->Lock);
    F->Stopping = true;
    F->Wake.notify_all();
    if (F->EndedOrDelivered.wait_for(hold, kEndPatience, [this] { return F->Ended; })) {
        hold.unlock();
        F->Thread.join();
        return;
    }
    // The system holds the thread (a name look-up): the process ends soon and
    // takes it along; its state stays for it until then.
    hold.unlock();
    F->Thread.detach();
    (void)F.release();
}

std::optional<std::string> TPublisher::Publish(int row, const TReading &reading, const std::string &journalPath)
{
    TOutboxMessage message{ReadingTopic(F->Options.Broker.Prefix, reading), ReadingMessage(F->Run, row, reading)};
    std::optional<std::string> failure;
    {
        const std::lock_guard<std::mutex> hold(F->Lock);
        TEntry entry{nullptr, 0, std::move(message), 0};
        if (!journalPath.empty() && !F->OwnFailed) {
            try {
                if (!F->Own)
                    F->Own = TOutbox::Create(OutboxPathOf(journalPath), F->Broker);
                entry.Number = F->Own->Add(entry.Message);
                entry.Outbox = F->Own.get();
            } catch (const std::exception &error) {
                F->OwnFailed = true;
                failure = std::string("Readings waiting for the broker are kept in memory only. ") + error.what();
            }
        }
        F->Queue.push_back(std::move(entry));
    }
    F->Wake.notify_all();  // a publisher between attempts shows the new count
    return failure;
}

TBrokerState TPublisher::State() const
{
    const std::lock_guard<std::mutex> hold(F->Lock);
    return {F->Connected, F->WaitingLocked()};
}

bool TPublisher::WaitUntilDelivered(std::chrono::milliseconds patience)
{
    std::unique_lock<std::mutex> hold(F->Lock);
    F->EndedOrDelivered.wait_for(hold, patience, [this] { return F->Queue.empty() || !F->Connected || F->Ended; });
    return F->Queue.empty();
}
