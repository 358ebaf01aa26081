// Each history rider's foot_down and down flag kept where they changed during playback: posing
// raises foot_down and the pose step lowers it tick by tick, and the down flag stays from a stop
// to the next checkpoint, so both depend on every record before, not only on the ones a seek
// reads again. A seek back puts the values playing straight through had at its tick.
#include "race/demo_carry.h"

#include <algorithm>
#include <vector>

#include "bike/rider.h"
#include "race/race.h"

namespace {

struct carry_change {
    int tick;
    float foot_down;
    int down_flag;
};

std::vector<carry_change> changes[RIDER_SLOTS];
std::vector<int> noted_through(RIDER_SLOTS, -1);   // the last tick noted per slot, -1: none

bool history_rider(int slot) {
    return rider_status[slot] == 1 && rider_has_bike(slot);
}

}  // namespace

void demo_carry_clear() {
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        changes[slot].clear();
        noted_through[slot] = -1;
    }
}

void demo_carry_note(int tick) {
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!history_rider(slot) || tick <= noted_through[slot]) continue;
        noted_through[slot] = tick;
        const rider_slot &s = rider_table[slot];
        std::vector<carry_change> &c = changes[slot];
        if (c.empty() || c.back().foot_down != s.controls.foot_down || c.back().down_flag != s.down_flag)
            c.push_back({tick, s.controls.foot_down, s.down_flag});
    }
}

void demo_carry_restore(int tick) {
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!history_rider(slot) || tick > noted_through[slot]) continue;
        const std::vector<carry_change> &c = changes[slot];
        auto after = std::upper_bound(c.begin(), c.end(), tick,
                                      [](int t, const carry_change &e) { return t < e.tick; });
        if (after == c.begin()) continue;
        rider_table[slot].controls.foot_down = (after - 1)->foot_down;
        rider_table[slot].down_flag = (after - 1)->down_flag;
    }
}
