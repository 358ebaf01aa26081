// The off-course rule (which online riders count as out of the race) and the ghost query that
// tells drawing and sound whether a rider is shown faded.
#include "core/net_state.h"
#include "race/contacts.h"
#include "race/history.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"

// The ticks of the two history records around tick t, from the rider history. Weak, so that a
// test can give riders a history of its own.
__attribute__((weak)) int race_history_ticks_around(int slot, int t, int *older, int *newer) {
    int a, b;
    if (!history_find_pair(slot, t, &a, &b)) return 0;
    *older = rider_history[slot].ticks[a];
    *newer = rider_history[slot].ticks[b];
    return 1;
}

// The tick at which the slot passed index i, or -1 (also for i < 0).
static int passed(int slot, int i) {
    return i < 0 ? -1 : rider_timing_tic(slot, i);
}

int race_section_too_slow(int slot, int i) {
    // Entry: the latest of i-1 .. i-3 the rider passed, else the gate drop.
    int entry = race_state.gate_drop_tick;
    for (int k = i - 1; k >= i - 3 && k >= 0; k--)
        if (int t = passed(slot, k); t >= 0) {
            entry = t;
            break;
        }
    // Exit: the first passed index from i on, else now.
    int exit = race_state.current_tick;
    int count = rider_timing_count(slot);
    for (int k = i; k < count; k++)
        if (int t = passed(slot, k); t >= 0) {
            exit = t;
            break;
        }
    const float tick = 1.0f / RACE_TICKS_PER_SECOND;
    for (int e = 0; e < race_state.running_count && e < RIDER_SLOTS; e++) {
        int ref = race_state.running_order[e].slot;
        if (!rider_has_bike(ref)) continue;
        if (i >= rider_timing_count(ref)) return 0;   // the leader has not passed i yet
        int a = passed(ref, i - 1), b = passed(ref, i);
        if (a < 0 || b < 0) continue;
        float allowed = off_course_scale * (float)(b - a) * tick + off_course_bias;
        return (float)(exit - entry) * tick >= allowed;
    }
    return 0;
}

int race_rider_in_race(int slot) {
    if (!rider_has_bike(slot)) return 0;
    if (rider_check_finished(slot)) return 0;
    int n = rider_timing_count(slot);
    if (n <= 0) return 0;
    for (int i = n - 3 > 1 ? n - 3 : 1; i <= n; i++)
        if (race_section_too_slow(slot, i)) return 0;
    return 1;
}

int race_rider_is_ghost(int slot) {
    if (slot < 0 || slot >= RIDER_SLOTS || !rider_has_bike(slot)) return 1;
    int kind = rider_status[slot];
    bool online = net_client.socket >= 0;
    if (online && net_client.local_slot == RIDER_NO_SLOT && kind == 0 && slot != viewed_slot) return 1;
    if (kind != 1) return 0;
    int older, newer;
    int now = race_state.current_tick;
    if (!race_history_ticks_around(slot, now, &older, &newer)) return 1;
    if (now < older - 128 || now > newer + 128) return 1;
    int own = net_client.slot;
    if (own < 0 || own >= RIDER_SLOTS) return 0;
    if (slot != own && now - net_slot_state_tick[slot] >= RACE_TICKS_PER_SECOND) return 1;
    if (race_state.running_count <= 1 ||
        (float)(now - race_state.gate_drop_tick) / RACE_TICKS_PER_SECOND < off_course_bias)
        return 0;
    if (!race_rider_in_race(own)) return 0;
    return !race_rider_in_race(slot);
}
