#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// How long a search listens, counted in the ticks its caller feeds the worker (searchTick):
// the address at index k is listened on until the tick count reaches 40 + 80·k. The window
// program ticks about every 1.3 s (a 1 s timer and a 0.3 s pause), so the first address is
// heard for about 52 s.
namespace SearchSchedule {

constexpr std::int64_t kFirstWindowTicks = 40;
constexpr std::int64_t kTicksPerLaterAddress = 80;

// The tick at which listening on the address at `index` ends.
constexpr std::int64_t WindowEnd(std::size_t index) {
    return kFirstWindowTicks + kTicksPerLaterAddress * static_cast<std::int64_t>(index);
}

// The tick period with which the first address is listened on for `seconds`; at least 1 ms.
std::chrono::milliseconds TickPeriodFor(std::chrono::duration<double> seconds);

// How long the first address is listened on with ticks every `tickPeriod`.
constexpr std::chrono::duration<double> FirstWindowSeconds(std::chrono::milliseconds tickPeriod) {
    return std::chrono::duration<double>(tickPeriod) * kFirstWindowTicks;
}

} // namespace SearchSchedule
