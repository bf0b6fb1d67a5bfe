#include "discovery/SearchSchedule.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

// The window program's pace: a tick every 1.3 s, the first address heard for 52 s, each later
// one 80 ticks more.
TEST(SearchSchedule, TheWindowProgramsPace) {
    constexpr SearchSchedule::WindowClock clock;
    EXPECT_EQ(clock.Period(), milliseconds(1300));
    EXPECT_DOUBLE_EQ(SearchSchedule::FirstWindowSeconds(clock.Period()).count(), 52.0);
    EXPECT_EQ(SearchSchedule::WindowEnd(0), 40);
    EXPECT_EQ(SearchSchedule::WindowEnd(2), 200);
    EXPECT_EQ(SearchSchedule::TickPeriodFor(std::chrono::seconds(52)), milliseconds(1300));
}

// A faster clock (the program's test tick) keeps the program's split and its whole period.
TEST(SearchSchedule, AFasterClockKeepsTheSplit) {
    const struct {
        long long period, timer, pause;
    } cases[] = {{1300, 1000, 300}, {130, 100, 30}, {150, 115, 35}, {2, 1, 1}, {1, 1, 1}};
    for (const auto& c : cases) {
        const auto clock = SearchSchedule::WindowClock::WithPeriod(milliseconds(c.period));
        EXPECT_EQ(clock.timer, milliseconds(c.timer)) << c.period;
        EXPECT_EQ(clock.pause, milliseconds(c.pause)) << c.period;
    }
}

} // namespace
