// SPDX-License-Identifier: Apache-2.0
// A consumer of the readings, as a quality database would be one: it reads
// every topic of the test broker (plain listener, the reading user) and keeps
// what arrives, in order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

struct TArrivedMessage {
    std::string Topic;
    std::string Payload;
    bool Retained = false;
};

class TMqttSubscriber {
public:
    // Connected and subscribed to `filter` when this returns; throws when not within 10 s.
    TMqttSubscriber(int port, const std::string &filter);
    ~TMqttSubscriber();
    TMqttSubscriber(const TMqttSubscriber &) = delete;
    TMqttSubscriber &operator=(const TMqttSubscriber &) = delete;

    // Waits until what arrived satisfies `done`; false when it does not within `timeout`.
    bool WaitFor(const std::function<bool(const std::vector<TArrivedMessage> &)> &done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
    std::vector<TArrivedMessage> Arrived() const;
    // The payloads that arrived on topics that end with `ending`, in order.
    std::vector<std::string> PayloadsOn(const std::string &ending) const;

private:
    mosquitto *FClient = nullptr;
    mutable std::mutex FLock;
    std::condition_variable FArrival;
    std::vector<TArrivedMessage> FArrived;
    bool FSubscribed = false;
};
