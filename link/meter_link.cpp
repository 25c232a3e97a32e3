#include "link/meter_link.h"

#include <utility>

TMeterLink::TMeterLink(IBluetoothPlatform *platform, std::function<void()> showIndicator, TTraceFile *trace)
    : FPlatform(platform), FShowIndicator(std::move(showIndicator)), FTrace(trace)
{
}
