// SPDX-License-Identifier: Apache-2.0
// How the broker stands, as the window shows it beside the indicator and a
// headless run prints it when it changes.
#pragma once

#include <string>

struct TBrokerState {
    bool Connected = false;
    int Waiting = 0;  // readings not yet acknowledged by the broker
    bool operator==(const TBrokerState &) const = default;
};

// "Broker: connected", "Broker: not reached, 12 readings waiting" ("1 reading
// waiting").
std::string BrokerStateText(const TBrokerState &state);
