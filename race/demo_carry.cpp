// Each history rider's foot_down kept where it changed during playback: posing raises it and the
// pose step lowers it tick by tick, so it depends on every record before, not only on the ones a
// seek reads again. A seek back puts the value playing straight through had at its tick.
#include "race/demo_carry.h"

#include <algorithm>
#include <vector>

#include "bike/rider.h"
#include "race/race.h"

namespace {

struct carry_change {
    int tick;
    float foot_down;
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
        float f = rider_table[slot].controls.foot_down;
        std::vector<carry_change> &c = changes[slot];
        if (c.empty() || c.back().foot_down != f) c.push_back({tick, f});
    }
}

void demo_carry_restore(int tick) {
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!history_rider(slot) || tick > noted_through[slot]) continue;
        const std::vector<carry_change> &c = changes[slot];
        auto after = std::upper_bound(c.begin(), c.end(), tick,
                                      [](int t, const carry_change &e) { return t < e.tick; });
        if (after != c.begin()) rider_table[slot].controls.foot_down = (after - 1)->foot_down;
    }
}
