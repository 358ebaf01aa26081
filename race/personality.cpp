// The auto pilot's personalities: the table of rows, choosing a rider's row by name, the cost
// type a robot weighs lines with as the race stands, and its reaction at the gate.
#include <cstring>

#include "core/console.h"
#include "core/digest.h"
#include "race/autopilot.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"

const autopilot_personality_row autopilot_personalities[AUTOPILOT_PERSONALITIES] = {
    {"empty", 0, 0, 0.0f, 0.0f, 0.0f},   {"zorvik", 0, 0, 1.0f, 0.2f, 0.4f},
    {"quellan", 2, 1, 10.0f, 0.2f, 0.4f}, {"brannox", 1, 0, 10.0f, 0.0f, 0.1f},
    {"tester", 3, 3, 1.0f, 0.2f, 0.4f},
};

void rider_set_personality(rider_slot *s, const char *name) {
    if (!s) return;
    for (int i = 1; i < AUTOPILOT_PERSONALITIES; i++)
        if (name && strcmp(autopilot_personalities[i].name, name) == 0) {
            s->autopilot_personality = i;
            return;
        }
    console_printf("auto pilot personality '%.200s' not found", name ? name : "");
    s->autopilot_personality = 1;
}

static const autopilot_personality_row &personality_of(int index) {
    if (index < 0 || index >= AUTOPILOT_PERSONALITIES) index = 1;
    return autopilot_personalities[index];
}

int autopilot_cost_type(const rider_slot *s) {
    const autopilot_personality_row &p = personality_of(s->autopilot_personality);
    int slot = (int)(s - rider_table);
    if (slot < 0 || slot >= RIDER_SLOTS || race_state.running_count < 2 ||
        race_state.running_order[0].slot != slot)
        return p.cost_type_close;
    // A clear lead: at the second rider's latest point both have a tick, the second's later by
    // more than the margin.
    int second = race_state.running_order[1].slot;
    int point = rider_timing_count(second) - 1;
    int own = rider_timing_tic(slot, point), theirs = rider_timing_tic(second, point);
    if (point < 0 || own < 0 || theirs < 0) return p.cost_type_close;
    double lead = (double)theirs - own;
    return lead > (double)p.lead_margin * RACE_TICKS_PER_SECOND ? p.cost_type_leading : p.cost_type_close;
}

float autopilot_reaction(int personality, float u) {
    const autopilot_personality_row &p = personality_of(personality);
    return p.earliest_reaction + u * (p.latest_reaction - p.earliest_reaction);
}

float autopilot_draw() {
    return (float)((double)(mt_next() & 0x7fffffffu) * (1.0 / 2147483648.0));
}
