// The off-course rule and the ghost query over fake riders (timing lists without bikes) and the
// network client's values.
#include <gtest/gtest.h>

#include "core/net_state.h"
#include "race/contacts.h"
#include "tests/race/timing_fixture.h"

namespace {

// History ticks per slot for the weak hook's replacement: none means an empty history.
int history_older[RIDER_SLOTS], history_newer[RIDER_SLOTS];
bool history_set[RIDER_SLOTS];

char fake_body;

struct ghost_race {
    ghost_race() {
        // Twelve checkpoints in one long first lap, so no one finishes.
        std::vector<fixture_checkpoint> points(12, {0, 0, 1, 0, 10});
        std::vector<int> laps;
        for (int i = 0; i < 12; i++) laps.push_back(i);
        fixture_gates(points, 12, laps);
        race_state = {};
        race_state.final_lap = 5;
        net_client.socket = 3;
        net_client.slot = 0;
        net_client.local_slot = 0;
        for (int s = 0; s < 3; s++) {
            fixture_rider(s);
            rider_slot_at(s)->parts[0] = &fake_body;
            rider_status[s] = s == 0 ? 0 : 1;
            history_set[s] = false;
        }
    }
    ~ghost_race() {
        for (int s = 0; s < 3; s++) {
            rider_slot_at(s)->parts[0] = nullptr;
            fixture_free_rider(s);
        }
        net_client.socket = -1;
        fixture_free_gates();
    }
    // Slot 2 leads with the ticks given; slots 0 and 1 follow in that order.
    static void order() {
        race_state.running_count = 3;
        race_state.running_order[0] = {2, rider_timing_count(2), 0};
        race_state.running_order[1] = {0, rider_timing_count(0), 0};
        race_state.running_order[2] = {1, rider_timing_count(1), 0};
    }
    static void history(int slot, int older, int newer) {
        history_set[slot] = true;
        history_older[slot] = older;
        history_newer[slot] = newer;
    }
};

}  // namespace

int race_history_ticks_around(int slot, int t, int *older, int *newer) {
    (void)t;
    if (slot < 0 || slot >= RIDER_SLOTS || !history_set[slot]) return 0;
    *older = history_older[slot];
    *newer = history_newer[slot];
    return 1;
}

TEST(race_ghosts, SectionTooSlow) {
    ghost_race r;
    race_state.gate_drop_tick = 0;
    // The leader passed 0..3 at 128-tick steps: 1 s a section, so 1.5 s + 10 s is allowed.
    fixture_timing(2, {128, 256, 384, 512});
    fixture_timing(0, {128, 256});
    fixture_timing(1, {});
    ghost_race::order();
    struct row {
        int now, index;
        bool slow;
    } rows[] = {
        {256 + 1472 - 1, 2, false},   // 11.5 s - 1 tick since the entry at 256
        {256 + 1472, 2, true},        // exactly at the limit
        {4000, 4, false},             // the leader has not passed 4: no verdict
    };
    for (const row &c : rows) {
        race_state.current_tick = c.now;
        EXPECT_EQ(race_section_too_slow(0, c.index), c.slow ? 1 : 0) << c.now << " " << c.index;
    }
    // A rider that passed nothing is out; one within its sections is in.
    race_state.current_tick = 300;
    EXPECT_EQ(race_rider_in_race(1), 0);
    EXPECT_EQ(race_rider_in_race(0), 1);
    race_state.current_tick = 256 + 1472;
    EXPECT_EQ(race_rider_in_race(0), 0);
}

TEST(race_ghosts, GhostTable) {
    ghost_race r;
    race_state.gate_drop_tick = 100;
    fixture_timing(2, {200, 300, 400, 500});
    fixture_timing(0, {200, 300, 400});
    fixture_timing(1, {250, 350});
    ghost_race::order();
    int bias = (int)(off_course_bias * 128);

    // Empty slot and an own rider.
    EXPECT_EQ(race_rider_is_ghost(5), 1);
    race_state.current_tick = 600;
    EXPECT_EQ(race_rider_is_ghost(0), 0);
    // A remote rider with no history is a ghost; one with fresh history is solid early on.
    net_slot_state_tick[1] = 600;
    EXPECT_EQ(race_rider_is_ghost(1), 1);
    ghost_race::history(1, 590, 600);
    EXPECT_EQ(race_rider_is_ghost(1), 0);
    // Its newest state 1 s old: a ghost from then on, not a tick before.
    race_state.current_tick = 600 + 127;
    ghost_race::history(1, 590, 700);
    EXPECT_EQ(race_rider_is_ghost(1), 0);
    race_state.current_tick = 600 + 128;
    EXPECT_EQ(race_rider_is_ghost(1), 1);
    // History far from now: a ghost.
    net_slot_state_tick[1] = 10000;
    race_state.current_tick = 2000;
    ghost_race::history(1, 1800, 1850);
    EXPECT_EQ(race_rider_is_ghost(1), 1);
    ghost_race::history(1, 1990, 2000);

    // Slow through its section, but inside the first bias seconds after the drop: solid.
    race_state.current_tick = 100 + bias - 1;
    net_slot_state_tick[1] = race_state.current_tick;
    ghost_race::history(1, race_state.current_tick - 5, race_state.current_tick);
    EXPECT_EQ(race_rider_is_ghost(1), 0);
    // Later, off course: a ghost while the own rider is in the race ...
    race_state.current_tick = 2600;
    net_slot_state_tick[1] = 2600;
    ghost_race::history(1, 2595, 2600);
    fixture_timing(0, {200, 300, 400, 500, 590});
    fixture_timing(2, {200, 300, 400, 500, 600});
    ghost_race::order();
    EXPECT_EQ(race_rider_in_race(0), 1);
    EXPECT_EQ(race_rider_is_ghost(1), 1);
    // ... and solid when the own rider is off course itself.
    fixture_timing(0, {200, 300});
    ghost_race::order();
    EXPECT_EQ(race_rider_in_race(0), 0);
    EXPECT_EQ(race_rider_is_ghost(1), 0);
    // Watching: kind-0 riders other than the viewed one are ghosts.
    net_client.local_slot = RIDER_NO_SLOT;
    viewed_slot = 2;
    rider_status[2] = 0;
    EXPECT_EQ(race_rider_is_ghost(0), 1);
    EXPECT_EQ(race_rider_is_ghost(2), 0);
}
