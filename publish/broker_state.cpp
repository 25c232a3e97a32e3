// SPDX-License-Identifier: Apache-2.0
#include "publish/broker_state.h"

std::string BrokerStateText(const TBrokerState &state)
{
    if (state.Connected)
        return "Broker: connected";
    return "Broker: not reached, " + std::to_string(state.Waiting) +
           (state.Waiting == 1 ? " reading waiting" : " readings waiting");
}
