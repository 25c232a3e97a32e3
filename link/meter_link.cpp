// SPDX-License-Identifier: Apache-2.0
#include "link/meter_link.h"

#include <utility>

TMeterLink::TMeterLink(TMeterWay way, std::function<void()> showIndicator, TTraceFile *trace)
    : FWay(std::move(way)), FShowIndicator(std::move(showIndicator)), FTrace(trace)
{
}
