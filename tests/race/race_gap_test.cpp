// The gap between riders of an order and race times as text.
#include <gtest/gtest.h>

#include <string>

#include "race/race_gap.h"
#include "tests/race/results_fixture.h"

// Slot 0 leads, slot 1 is on the same position, slot 2 one position behind, slot 3 has passed
// nothing.
TEST(race_gap, OrderTable) {
    results_race(5, 0);
    results_rider(0, 2, "1", 0, {100, 200, 300});
    results_rider(1, 2, "2", 0, {110, 230, 350});
    results_rider(2, 2, "3", 0, {120, 260});
    results_rider(3, 2, "4", 0, {});
    race_update_standings();
    const running_order_entry *o = race_state.running_order;
    ASSERT_EQ(race_state.running_count, 4);
    struct {
        int row;
        long long gap;
    } cases[] = {
        {0, 50},     // the leader's margin over the second
        {1, -50},    // same position: the row ticks
        {2, 30 - 60}, // one position behind: the ticks at the position both passed (index 1)
        {3, 0},      // nothing passed: no tick to compare
        {4, 0},      // outside the order
        {-1, 0},
    };
    for (auto &c : cases) EXPECT_EQ(race_row_gap(o, 4, c.row), c.gap) << c.row;
    EXPECT_EQ(race_row_gap(o, 1, 0), 0);   // alone: +0
    results_free();
}

TEST(race_gap, TimeTexts) {
    struct {
        long long ticks;
        const char *ms, *tenths;
    } cases[] = {
        {0, "0:00.000", "0:00.0"},
        {-5, "0:00.000", "0:00.0"},
        {1, "0:00.007", "0:00.0"},          // 7.8125 ms truncated
        {128 * 61 + 64, "1:01.500", "1:01.5"},
        {128LL * 3600 * 30, "1800:00.000", "1800:00.0"},
    };
    for (auto &c : cases) {
        char a[64], b[64];
        race_format_time(a, sizeof a, c.ticks);
        race_format_time_tenths(b, sizeof b, c.ticks);
        EXPECT_STREQ(a, c.ms) << c.ticks;
        EXPECT_STREQ(b, c.tenths) << c.ticks;
    }
    EXPECT_EQ(race_ticks_ms(16), 125);
}
