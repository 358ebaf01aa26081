// The pit board: the viewed rider's number, place, lap, gap and lap times, and the banner of
// riders about to lap it.
#include <cstdio>
#include <cstring>

#include "bike/rider.h"
#include "present/hud.h"
#include "race/race.h"
#include "race/race_gap.h"
#include "race/standings.h"
#include "race/time_trial.h"
#include "race/timing.h"

static const float black[4] = {0, 0, 0, 1};
static const float white[4] = {1, 1, 1, 1};

// The slot's row in the running order, or the count when it has none.
static int order_row(int slot) {
    int n = race_state.running_count;
    for (int k = 0; k < n; k++)
        if (race_state.running_order[k].slot == slot) return k;
    return n;
}

long long hud_slot_gap(int slot) {
    return race_row_gap(race_state.running_order, race_state.running_count, order_row(slot));
}

// Ticks of lap `lap` (1 runs from the gate drop); 0 when not timed.
static long long lap_ticks(int slot, int lap) {
    int laps, index;
    rider_lap_progress(slot, &laps, &index);
    if (lap <= 0 || lap > laps) return 0;
    int start = lap == 1 ? race_state.gate_drop_tick : rider_timing_tic(slot, timing_lap_end(lap - 1));
    int end = rider_timing_tic(slot, timing_lap_end(lap));
    if (start < 0 || end < 0) return 0;
    return (long long)end - start;
}

void hud_banner_text(int slot, char out[1024]) {
    out[0] = 0;
    int n = race_state.running_count, row = order_row(slot);
    long long length = timing_gates.lap_length;
    if (n < 2 || row >= n || length <= 0) return;
    long long p = rider_timing_count(slot);
    if (p < timing_gates.first_lap_length) return;
    long long own = race_state.running_order[row].time;
    size_t used = 0;
    for (int k = 0; k < row; k++) {
        const running_order_entry &e = race_state.running_order[k];
        long long h = e.points;
        if (p >= h) continue;
        long long laps = (h - p - 1) / length;
        long long q = h - length * laps - length - 1;   // the same point one lap back
        if (q < 0 || q > TIMING_INDEX_LIMIT) continue;
        long long t = rider_timing_tic(slot, (int)q);
        if (t < 0 || e.time < t || own - t > 15 * 128 || e.time - t > 3 * 128) continue;
        char entry[64];
        int w = snprintf(entry, sizeof entry, " %.5s (%.1f) ", rider_number_text(rider_slot_at(e.slot)),
                         race_tick_seconds(e.time - t));
        if (w <= 0 || used + (size_t)w > 1023) break;
        memcpy(out + used, entry, (size_t)w + 1);
        used += (size_t)w;
    }
}

int hud_format_race_length(char *text, int size) {
    int w;
    if (race_state.race_time <= 0) {
        w = snprintf(text, (size_t)size, "%d laps", race_state.laps);
    } else {
        int minutes = (int)(race_state.race_time * (double)HUD_TICK / 60 + 0.5);
        if (race_state.laps > 0)
            w = snprintf(text, (size_t)size, "%d minutes + %d laps", minutes, race_state.laps);
        else
            w = snprintf(text, (size_t)size, "%d minutes", minutes);
    }
    return w < 0 ? 0 : w >= size ? size - 1 : w;
}

void hud_build_rider_panel(hud_draw_list *list, const hud_snapshot &snap) {
    int slot = snap.slot;
    const float hx = snap.half_x, hy = snap.half_y;
    hud_frame board = {-hx, -hy, 0.6227179f * hy};
    hud_add_quad(list, board, 0, 0, 0.125f, 1, 0.8125f, 0, 0.875f, 1, 0.1875f, white);
    list->items.back().texture = hud_images.pitboard;

    int place = order_row(slot) + 1, lap, index;
    rider_lap_progress(slot, &lap, &index);
    float line = 0.0703125f, x = 0.37109375f, y = 0.6796875f;
    char text[128];
    hud_add_text(list, board, x, y, line, black, HUD_ALIGN_LEFT, 0, 0, rider_number_text(rider_slot_at(slot)));
    y -= 2 * line;
    line *= 1.25f;
    if (race_state.time_trial)
        snprintf(text, sizeof text, "P%d", place);
    else
        snprintf(text, sizeof text, "L%d P%d", lap + 1, place);
    hud_add_text(list, board, x, y, line, black, HUD_ALIGN_LEFT, 0, 0, text);
    y -= line;
    snprintf(text, sizeof text, "%+.1f ", race_tick_seconds(hud_slot_gap(slot)));
    hud_add_text(list, board, x, y, line, black, HUD_ALIGN_LEFT, 0, 0, text);
    x -= 2 * line;
    y -= line;

    long long last, best;
    if (race_state.time_trial) {
        last = last_lap_ticks;
        best = best_lap_ticks;
    } else {
        int best_lap;
        last = lap >= 2 ? lap_ticks(slot, lap) : 0;
        best = lap > 1 ? race_best_lap(slot, &best_lap) : 0;
    }
    char time[64];
    if (last > 0) {
        race_format_time_tenths(time, sizeof time, last);
        snprintf(text, sizeof text, "Last - %s ", time);
        hud_add_text(list, board, x, y, line, black, HUD_ALIGN_LEFT, 0, 0, text);
        y -= line;
    }
    if (best > 0) {
        race_format_time_tenths(time, sizeof time, best);
        snprintf(text, sizeof text, "Best - %s", time);
        hud_add_text(list, board, x, y, line, black, HUD_ALIGN_LEFT, 0, 0, text);
    }

    char banner[1024];
    hud_banner_text(slot, banner);
    if (!banner[0] || !(hy > 0)) return;
    hud_frame bottom = {-hx, -hy, hy / 15};
    float width = 30 * hx / hy;
    const float blue[4] = {0, 0.5f, 1, 0.5f};
    hud_add_box(list, bottom, 0, 0, width, 1, blue);
    hud_add_text(list, bottom, 0, 0, 1, white, HUD_ALIGN_CENTRE, width, 0, banner);
}
