// The results board and the information lines in the top-left corner of every race view.
#include <cmath>
#include <cstdio>

#include "bike/rider.h"
#include "core/console.h"
#include "present/hud.h"
#include "race/race.h"
#include "race/race_gap.h"
#include "race/standings.h"
#include "race/timing.h"

int hud_stat_maxima[6];
hud_frame_time_record hud_frame_times = {nullptr, nullptr};

static const float white[4] = {1, 1, 1, 1};
static const float grey[4] = {0.75f, 0.75f, 0.75f, 1};

hud_frame hud_lines_frame(const hud_snapshot &snap, int n) {
    float a = 2.0f * snap.half_y / (float)n;
    return {-snap.half_x, snap.half_y - a, a};
}

double hud_take_frame_time() {
    if (!hud_frame_times.longest) return 0;
    double longest = *hud_frame_times.longest;
    *hud_frame_times.longest = 0;
    if (hud_frame_times.shortest) *hud_frame_times.shortest = 1;
    return longest;
}

// A shadowed text ending at x_end.
static void right(hud_draw_list *list, const hud_frame &f, float x_end, float y, float size,
                  const float colour[4], const char *text) {
    hud_add_text(list, f, x_end, y, size, colour, HUD_ALIGN_RIGHT, x_end, 1, text);
}

// The penalty lines of the written results at half size from y; returns the y after them.
static float penalty_lines(hud_draw_list *list, const hud_frame &f, const running_order_entry *order,
                           int count, float y) {
    const float red[4] = {1, 0, 0, 1};
    for (int k = 0; k < count; k++) {
        const running_order_entry &e = order[k];
        int passed = rider_timing_count(e.slot);
        if (passed < 1) continue;
        int last = rider_timing_tic(e.slot, passed - 1);
        if (last < 0 || last >= e.time) continue;
        char text[256];
        int w = snprintf(text, sizeof text, "%3s penalized ", rider_number_text(rider_slot_at(e.slot)));
        int laps, index;
        rider_lap_progress(e.slot, &laps, &index);
        int lost = laps - race_laps_of(e.points);
        if (lost > 0) w += snprintf(text + w, sizeof text - (size_t)w, "%d %s ", lost, lost == 1 ? "lap" : "laps");
        snprintf(text + w, sizeof text - (size_t)w, "%.2f seconds for cutting track",
                 race_tick_seconds((long long)e.time - last));
        hud_add_text(list, f, 0, y, 0.5f, red, HUD_ALIGN_LEFT, 0, 1, text);
        y -= 0.5f;
    }
    return y;
}

// The board from the frame's top left; *info_x gets where the information lines start and *y
// the line below the board.
void hud_build_board(hud_draw_list *list, const hud_snapshot &snap, float *info_x) {
    *info_x = 0;
    int count;
    const running_order_entry *order = race_shown_order(&count);
    if (count <= 0 || !rider_check_finished(order[0].slot)) return;
    hud_frame f = hud_lines_frame(snap, 50);
    f.x += 0.25f * f.unit;
    f.y -= 0.25f * f.unit;
    const float shade[4] = {0, 0, 0, 0.25f};
    hud_add_box(list, f, 0, 1, 19, -0.5f, shade);
    hud_add_text(list, f, 0, 0, 1, white, HUD_ALIGN_CENTRE, 19, 1,
                 results_written ? "Final Results" : "Unofficial Results");
    float y = -0.5f;
    const struct {
        const char *text;
        float x0, x1;
    } headers[] = {{"Pos.", 0, 4}, {"No.", 4, 8}, {"Lap", 8, 12.5f}, {"Gap", 12.5f, 23},
                   {"Best Time", 23, 33}, {"BLap", 33, 38}};
    for (auto &h : headers)
        hud_add_text(list, f, h.x0 / 2, y, 0.5f, white, HUD_ALIGN_CENTRE, h.x1 / 2, 1, h.text);
    y -= 1;
    int shown = 0;
    for (int k = 0; k < count; k++) {
        const running_order_entry &e = order[k];
        if (!results_written && !rider_check_finished(e.slot)) continue;
        shown++;
        const float *c = e.slot == snap.slot ? white : grey;
        if (shown % 2 == 0) {
            const float band[4] = {1, 1, 1, 0.25f};
            hud_add_box(list, f, 0, y + 1, 19, y, band);
        }
        char text[64];
        snprintf(text, sizeof text, "%d", k + 1);
        right(list, f, 1.5f, y, 1, c, text);
        snprintf(text, sizeof text, "%3s", rider_number_text(rider_slot_at(e.slot)));
        right(list, f, 4, y, 1, c, text);
        snprintf(text, sizeof text, "L%d", race_laps_of(e.points));
        right(list, f, 6.25f, y, 1, c, text);
        long long gap = k == 0 ? 0 : std::llabs(race_row_gap(order, count, k));
        snprintf(text, sizeof text, "%7.3f", race_tick_seconds(gap));
        right(list, f, 11, y, 1, c, text);
        int best_lap;
        race_format_time(text, sizeof text, race_best_lap(e.slot, &best_lap));
        right(list, f, 16.5f, y, 1, c, text);
        snprintf(text, sizeof text, "(%d)", best_lap);
        right(list, f, 19, y, 1, c, text);
        y -= 1;
    }
    if (results_written) {
        char time[64], text[96];
        race_format_time(time, sizeof time, (long long)order[0].time - race_state.gate_drop_tick);
        snprintf(text, sizeof text, "Total Race Time: %s", time);
        hud_add_text(list, f, 0, y, 1, grey, HUD_ALIGN_LEFT, 0, 1, text);
        y -= 2;
        y = penalty_lines(list, f, order, count, y);
        y -= 0.5f;
    }
    *info_x = 19.5f;
}

// A shadowed grey information line at y, then one line down.
static void info_line(hud_draw_list *list, const hud_frame &f, float x, float *y, const char *text) {
    hud_add_text(list, f, x, *y, 1, grey, HUD_ALIGN_LEFT, 0, 1, text);
    *y -= 1;
}

static void render_statistics(hud_draw_list *list, const hud_frame &f, float x, float *y,
                              const hud_snapshot &snap) {
    static const char *const names[6] = {"Ground polygons", "Model polygons", "Billboards",
                                         "Decals", "Texture Changes", "Shader Changes"};
    char text[128];
    for (int i = 0; i < 6; i++) {
        if (snap.stats[i] > hud_stat_maxima[i]) hud_stat_maxima[i] = snap.stats[i];
        snprintf(text, sizeof text, "%s - %d max=%d", names[i], snap.stats[i], hud_stat_maxima[i]);
        info_line(list, f, x, y, text);
    }
    snprintf(text, sizeof text, "Terrain texture age - %d", snap.stats[6]);
    info_line(list, f, x, y, text);
    snprintf(text, sizeof text, "Reshades pending - %d", snap.stats[7]);
    info_line(list, f, x, y, text);
    snprintf(text, sizeof text, "Erode buffered - %d", snap.stats[8]);
    info_line(list, f, x, y, text);
}

void hud_build_info(hud_draw_list *list, const hud_snapshot &snap) {
    float x;
    hud_build_board(list, snap, &x);
    hud_frame f = hud_lines_frame(snap, 50);
    float y = 0;
    char text[300];
    if (snap.draw_fps) {
        double longest = snap.longest_frame;
        double fps = longest > 0 && std::isfinite(longest) ? 1.0 / longest : 0;
        fps = fps < 0 ? 0 : fps > 1e6 ? 1e6 : fps;
        snprintf(text, sizeof text, "FPS - %d", (int)fps);
        info_line(list, f, x, &y, text);
    }
    if (snap.draw_time) {
        char time[64];
        race_format_time_tenths(time, sizeof time, (long long)race_state.current_tick - race_state.gate_drop_tick);
        snprintf(text, sizeof text, "Time - %s ", time);
        info_line(list, f, x, &y, text);
    }
    if (snap.draw_ping && snap.online && snap.client_slot >= 0 && snap.client_slot < 160) {
        snprintf(text, sizeof text, "Ping - %dms (%dms offset)", (int)(snap.ping_ticks * 1000.0 / 128),
                 (int)(((long long)snap.server_tick - race_state.current_tick) * 1000.0 / 128));
        info_line(list, f, x, &y, text);
    }
    if (snap.draw_speed && snap.has_rider) {
        snprintf(text, sizeof text, "Speed - %.2f", std::isfinite(snap.speed) ? snap.speed * 0.6818182f : 0.0f);
        info_line(list, f, x, &y, text);
    }
    if (snap.draw_render_stats) render_statistics(list, f, x, &y, snap);
    if (snap.dabbing) info_line(list, f, x, &y, "Dabbing!");
    // The newest console lines, oldest first, no more than the frame has room for.
    int left = 50 + (int)y;
    int k = console_log.visible_count;
    if (k > CONSOLE_LINES) k = CONSOLE_LINES;
    if (k > left) k = left;
    for (; k >= 1; k--) {
        int line = ((console_log.head - k) % CONSOLE_LINES + CONSOLE_LINES) % CONSOLE_LINES;
        info_line(list, f, x, &y, console_log.lines[line]);
    }
}
