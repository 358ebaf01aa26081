// The running order: every occupied slot ranked by how far it has come and when.
#include "race/race.h"
#include "race/timing.h"
#include "core/util.h"

int results_written = 0;
float off_course_bias = 10.0f;
float off_course_scale = 1.5f;

int race_compare_results(const void *a, const void *b) {
    const running_order_entry *x = (const running_order_entry *)a;
    const running_order_entry *y = (const running_order_entry *)b;
    if (x->points != y->points) return x->points > y->points ? -1 : 1;
    if (x->time != y->time) return x->time < y->time ? -1 : 1;
    return x->slot - y->slot;
}

void race_update_standings() {
    if (results_written) return;
    int n = 0;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (!rider_has_bike(i)) continue;
        int count = rider_table[i].timing_count;
        running_order_entry &e = race_state.running_order[n++];
        e.slot = i;
        e.points = count;
        e.time = count > 0 ? rider_timing_tic(i, count - 1) : 0;
    }
    race_state.running_count = n;
    util_heapsort(race_state.running_order, n, sizeof(running_order_entry), race_compare_results);
}
