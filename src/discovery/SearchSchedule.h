#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

// How long a search listens, counted in the ticks its caller feeds the worker (searchTick):
// the address at index k is listened on until the tick count reaches 40 + 80·k. The window
// program ticks at the pace of its WindowClock, so the first address is heard for about 52 s.
namespace SearchSchedule {

constexpr std::int64_t kFirstWindowTicks = 40;
constexpr std::int64_t kTicksPerLaterAddress = 80;

// The tick at which listening on the address at `index` ends.
constexpr std::int64_t WindowEnd(std::size_t index) {
    return kFirstWindowTicks + kTicksPerLaterAddress * static_cast<std::int64_t>(index);
}

// The window program's clock: a tick when its timer fires, then a pause in which the window goes
// on handling events before the timer runs again; a tick about every 1.3 s. Tests, and the
// program's PATHMERE_TEST_TICK_MS, make it faster.
struct WindowClock {
    std::chrono::milliseconds timer{1000};
    std::chrono::milliseconds pause{300};

    constexpr std::chrono::milliseconds Period() const { return timer + pause; }

    // A clock whose whole tick takes period, split as the program's own; neither part is
    // shorter than 1 ms.
    static constexpr WindowClock WithPeriod(std::chrono::milliseconds period) {
        constexpr WindowClock usual;
        const auto timer = std::max(std::chrono::milliseconds(1),
                                    period * usual.timer.count() / usual.Period().count());
        return {timer, std::max(std::chrono::milliseconds(1), period - timer)};
    }
};

// The tick period with which the first address is listened on for `seconds`; at least 1 ms.
std::chrono::milliseconds TickPeriodFor(std::chrono::duration<double> seconds);

// How long the first address is listened on with ticks every `tickPeriod`.
constexpr std::chrono::duration<double> FirstWindowSeconds(std::chrono::milliseconds tickPeriod) {
    return std::chrono::duration<double>(tickPeriod) * kFirstWindowTicks;
}

} // namespace SearchSchedule
