// SPDX-License-Identifier: Apache-2.0
#include "tests/support/mqtt_subscriber_posix.h"
#include "tests/support/mqtt_broker_posix.h"

#include <mosquitto.h>

#include <stdexcept>

TMqttSubscriber::TMqttSubscriber(int port, const std::string &filter)
{
    mosquitto_lib_init();
    // A session of its own that the broker keeps, also over its restarts.
    FClient = mosquitto_new("test-reader", false, this);
    mosquitto_reconnect_delay_set(FClient, 1, 1, false);
    mosquitto_username_pw_set(FClient, TMqttBroker::Reader, TMqttBroker::ReaderPassword);
    mosquitto_message_callback_set(FClient, [](mosquitto *, void *self, const mosquitto_message *message) {
        auto *subscriber = static_cast<TMqttSubscriber *>(self);
        {
            const std::lock_guard<std::mutex> hold(subscriber->FLock);
            subscriber->FArrived.push_back({message->topic,
                                            std::string(static_cast<const char *>(message->payload),
                                                        static_cast<std::size_t>(message->payloadlen)),
                                            message->retain});
        }
        subscriber->FArrival.notify_all();
    });
    mosquitto_subscribe_callback_set(FClient, [](mosquitto *, void *self, int, int, const int *) {
        auto *subscriber = static_cast<TMqttSubscriber *>(self);
        {
            const std::lock_guard<std::mutex> hold(subscriber->FLock);
            subscriber->FSubscribed = true;
        }
        subscriber->FArrival.notify_all();
    });
    if (mosquitto_connect(FClient, TMqttBroker::Address, port, 30) != MOSQ_ERR_SUCCESS ||
        mosquitto_subscribe(FClient, nullptr, filter.c_str(), 1) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(FClient) != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(FClient);
        throw std::runtime_error("the test's subscriber cannot connect");
    }
    std::unique_lock<std::mutex> hold(FLock);
    if (!FArrival.wait_for(hold, std::chrono::seconds(10), [this] { return FSubscribed; })) {
        hold.unlock();
        mosquitto_disconnect(FClient);
        mosquitto_loop_stop(FClient, false);
        mosquitto_destroy(FClient);
        throw std::runtime_error("the test's subscriber is not subscribed within 10 s");
    }
}

TMqttSubscriber::~TMqttSubscriber()
{
    mosquitto_disconnect(FClient);
    mosquitto_loop_stop(FClient, false);
    mosquitto_destroy(FClient);
}

bool TMqttSubscriber::WaitFor(const std::function<bool(const std::vector<TArrivedMessage> &)> &done,
                              std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> hold(FLock);
    return FArrival.wait_for(hold, timeout, [&] { return done(FArrived); });
}

std::vector<TArrivedMessage> TMqttSubscriber::Arrived() const
{
    const std::lock_guard<std::mutex> hold(FLock);
    return FArrived;
}

std::vector<std::string> TMqttSubscriber::PayloadsOn(const std::string &ending) const
{
    std::vector<std::string> payloads;
    for (const TArrivedMessage &message : Arrived())
        if (message.Topic.size() >= ending.size() &&
            message.Topic.compare(message.Topic.size() - ending.size(), ending.size(), ending) == 0)
            payloads.push_back(message.Payload);
    return payloads;
}
