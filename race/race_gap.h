// Gaps between riders of an order and race times as text: the pit board, the camera view's
// order strip and the results board show the same numbers.
#pragma once

#include <cstddef>

#include "race/race.h"

// Ticks by which `other` was ahead of `row` on the course: other's tick minus row's tick at the
// last timing position both passed (their own ticks when both have passed the same number of
// positions, else the ticks of position min(both) - 1). Negative when `other` is ahead; 0 when
// either tick is below 1.
long long race_order_gap(const running_order_entry *row, const running_order_entry *other);
// The gap of row `row` of an order of `count` rows to the row ahead (the leader's to the second
// row): 0 with fewer than 2 rows or a row outside the order. Negative behind the rider ahead,
// the leader's margin positive.
long long race_row_gap(const running_order_entry *order, int count, int row);
// The order the boards show: the results order once the results are written, else the running
// order; *count gets the running order's count (0..RIDER_SLOTS).
const running_order_entry *race_shown_order(int *count);
// Milliseconds of a tick count, ticks x 125 / 16 in 64 bits, truncated; negative counts read 0.
long long race_ticks_ms(long long ticks);
// "%d:%02d.%03d" (minutes, seconds, milliseconds) and "%d:%02d.%d" (tenths) of a tick count,
// negative counts as 0. Return what snprintf returns.
int race_format_time(char *out, size_t size, long long ticks);
int race_format_time_tenths(char *out, size_t size, long long ticks);
// The seconds of a tick count.
double race_tick_seconds(long long ticks);
