#include "link/meter_link.h"

#include <utility>

TMeterLink::TMeterLink(IBluetoothDiscovery *discovery, IBluetoothTransport *transport,
                       std::function<void()> showIndicator, TTraceFile *trace)
    : FDiscovery(discovery), FTransport(transport), FShowIndicator(std::move(showIndicator)), FTrace(trace)
{
}
