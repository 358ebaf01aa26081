// Gaps between riders of an order and race times as text.
#include "race/race_gap.h"

#include <cstdio>

#include "race/standings.h"
#include "race/timing.h"

long long race_order_gap(const running_order_entry *row, const running_order_entry *other) {
    long long mine, theirs;
    if (row->points == other->points) {
        mine = row->time;
        theirs = other->time;
    } else {
        int common = (row->points < other->points ? row->points : other->points) - 1;
        mine = rider_timing_tic(row->slot, common);
        theirs = rider_timing_tic(other->slot, common);
    }
    if (mine < 1 || theirs < 1) return 0;
    return theirs - mine;
}

long long race_row_gap(const running_order_entry *order, int count, int row) {
    if (count < 2 || row < 0 || row >= count) return 0;
    return race_order_gap(&order[row], &order[row == 0 ? 1 : row - 1]);
}

const running_order_entry *race_shown_order(int *count) {
    int n = race_state.running_count;
    *count = n < 0 ? 0 : n > RIDER_SLOTS ? RIDER_SLOTS : n;
    return results_written ? race_results.order : race_state.running_order;
}

long long race_ticks_ms(long long ticks) {
    return ticks > 0 ? ticks * 125 / 16 : 0;
}

int race_format_time(char *out, size_t size, long long ticks) {
    long long ms = race_ticks_ms(ticks);
    return snprintf(out, size, "%lld:%02d.%03d", ms / 60000, (int)(ms / 1000 % 60), (int)(ms % 1000));
}

int race_format_time_tenths(char *out, size_t size, long long ticks) {
    long long ms = race_ticks_ms(ticks);
    return snprintf(out, size, "%lld:%02d.%d", ms / 60000, (int)(ms / 1000 % 60), (int)(ms % 1000 / 100));
}

double race_tick_seconds(long long ticks) {
    return (double)ticks / 128.0;
}
