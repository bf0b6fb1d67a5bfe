#include "discovery/SearchSchedule.h"

#include <algorithm>
#include <cmath>

std::chrono::milliseconds SearchSchedule::TickPeriodFor(std::chrono::duration<double> seconds) {
    const double milliseconds = std::round(seconds.count() * 1000.0 / kFirstWindowTicks);
    return std::chrono::milliseconds(std::max<long long>(1, static_cast<long long>(milliseconds)));
}
