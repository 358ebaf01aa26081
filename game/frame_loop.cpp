// The frame loop's passes: pacing, online time scaling, the per-frame services after the ticks.
#include "game/frame_loop.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/rider.h"
#include "core/console.h"
#include "core/globals.h"
#include "core/settings.h"
#include "game/controls.h"
#include "game/setup.h"
#include "game/sound_output.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "present/game_sound.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/erode.h"
#include "terrain/terrain.h"
#include "ui/menu.h"

static frame_loop_state frame_loop_initial() {
    frame_loop_state s = {};
    s.smallest_advance = 1.0;
    s.last_event_page = MENU_NONE;
    return s;
}

frame_loop_state frame_loop = frame_loop_initial();

void frame_loop_reset() {
    frame_loop = frame_loop_initial();
    frame_loop.last_event_page = menu_page;
}

void frame_loop_begin() {
    double now = frame_io.now();
    frame_loop.previous_time = now;
    frame_loop.stage_mark = now;
    frame_loop.simulated_time = 0.0;
    frame_loop.target_time = 0.0;
}

void frame_stage(const char *label) {
    if (frame_loop.stutter_threshold == 0.0) return;
    double now = frame_io.now();
    double seconds = now - frame_loop.stage_mark;
    if (seconds > frame_loop.stutter_threshold) {
        char text[128];
        snprintf(text, sizeof text, "Stutter in %s - %f seconds", label, seconds);
        console_print(text);
    }
    frame_loop.stage_mark = now;
}

static void count_duration(double elapsed) {
    int k = 0;
    while (k < 7 && !(elapsed < TICK_SECONDS * (double)(1 << k))) k++;
    frame_loop.histogram[k]++;
}

double frame_pace(double *now) {
    double t = frame_io.now();
    double elapsed = t - frame_loop.previous_time;
    if (elapsed < 0.0) {
        // A clock that went back counts from now, so no wait grows from it.
        frame_loop.previous_time = t;
        elapsed = 0.0;
    }
    count_duration(elapsed);
    double advance;
    int offline = !net_connected();
    double fps = run_options.lock_fps;
    if (offline && run_options.warp) {
        advance = FRAME_WARP_TICKS * TICK_SECONDS;
    } else if (offline && std::isfinite(fps) && fps > 0.0) {
        double period = 1.0 / fps;
        if (elapsed < period) {
            frame_io.sleep(period - elapsed);
            t = frame_io.now();
        }
        advance = period;
    } else {
        // Bounded, so a clock that stands still cannot hold the loop here.
        for (int i = 0; elapsed < TICK_SECONDS && i < FRAME_PACE_SLEEPS_MAX; i++) {
            frame_io.sleep(TICK_SECONDS - elapsed);
            t = frame_io.now();
            elapsed = t - frame_loop.previous_time;
        }
        advance = elapsed < 0.0 ? 0.0 : elapsed < FRAME_MAX_ADVANCE ? elapsed : FRAME_MAX_ADVANCE;
    }
    if (advance < frame_loop.smallest_advance) frame_loop.smallest_advance = advance;
    if (advance > frame_loop.largest_advance) frame_loop.largest_advance = advance;
    *now = t;
    return advance;
}

static double clamp01(double v) {
    return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
}

double frame_online_scale(int server_tick, int current_tick, int gate_drop_tick) {
    double d = ((double)server_tick - current_tick - 1) / 128.0;
    if (d < 0.0) return 0.5 + 0.5 * clamp01(d + 1.0);
    if (current_tick < gate_drop_tick) return 1.0 + 3.0 * clamp01(d);
    return 1.0 + 0.125 * clamp01(8.0 * d);
}

int frame_player_view() {
    int slot = viewed_slot;
    if (slot < 0 || slot >= RIDER_SLOTS) return 0;
    return rider_status[slot] == 0 && !(settings.spy && frame_loop.view_mode == VIEW_CAMERA);
}

static void choose_view() {
    int &mode = frame_loop.view_mode;
    if (track_name && mode == VIEW_SPLASH) mode = VIEW_ONBOARD;
    if (frame_player_view() && mode != VIEW_EDITOR && mode != VIEW_ONBOARD && mode != VIEW_CHASE)
        mode = VIEW_ONBOARD;
    if (viewed_slot < 0 || viewed_slot >= RIDER_SLOTS || !rider_has_bike(viewed_slot))
        mode = VIEW_CAMERA;
    if (!track_name) mode = VIEW_SPLASH;
}

static void update_sound() {
    if (!game_sound_open) return;
    float level;
    if (frame_loop.paused || frame_loop.view_mode == VIEW_EDITOR)
        level = 0.0f;
    else if (menu_page == MENU_NONE)
        level = 1.0f;
    else
        level = frame_player_view() ? 0.0f : 0.25f;
    sound_update_riders(level);
    sound_output_update();
    frame_stage("sound");
}

static void read_pointer() {
    int x = plyx_input_read_axis(cursor_x_axis);
    int y = plyx_input_read_axis(cursor_y_axis);
    int moved = x != frame_loop.pointer_x || y != frame_loop.pointer_y;
    frame_loop.pointer_x = view_state.mouse_x = x;
    frame_loop.pointer_y = view_state.mouse_y = y;
    if (menu_page != MENU_NONE) {
        if (!menu_left_button)
            menu_hover_item();
        else if (moved)
            menu_handle_key(MENU_KEY_DRAG, 1);
    }
    menu_page_changed = 0;
}

// With --warp a race that reaches its final lap starts again with the line-up moved on a slot.
static void warp_restart() {
    if (!run_options.warp || frame_loop.view_mode == VIEW_SPLASH) return;
    if (race_state.running_count < 1) return;
    const race_state_record &r = race_state;
    int passed = r.running_order[0].points;
    int laps = 0;
    if (r.lap_points > 0 && passed >= r.first_lap_points)
        laps = (passed - r.first_lap_points) / r.lap_points + 1;
    if (laps < r.final_lap) return;
    int last = race_lineup[RIDER_SLOTS - 1];
    memmove(race_lineup + 1, race_lineup, sizeof(int) * (RIDER_SLOTS - 1));
    race_lineup[0] = last;
    int race_time = (int)(settings.minutes.value * 60.0 / TICK_SECONDS);
    race_reset(race_lineup, 0, settings.record_demo.current, race_time, (int)settings.laps.value,
               settings.robot_skill.current);
}

// The position the erosion drain keeps clear of ruts: a body position (x, y, z), or null for
// none or one that is not finite.
static const float *erode_protected_position(const double *position, float out[3]) {
    if (!position) return nullptr;
    for (int i = 0; i < 3; i++) {
        if (!std::isfinite(position[i])) return nullptr;
        out[i] = (float)position[i];
    }
    return out;
}

// The erosion drain: ruts are dug even while the track's heights are frozen for drawing.
static void erode_step() {
    if (frame_loop.view_mode != VIEW_SPLASH && race_state.erode_amount > 0) {
        // The frame body of the first locally simulated rider that holds a bike.
        const double *frame = nullptr;
        for (int i = 0; i < RIDER_SLOTS && !frame; i++)
            if ((rider_status[i] == 0 || rider_status[i] == 2) && rider_has_bike(i))
                frame = dBodyGetPosition(bike_frame_body(rider_slot_at(i)));
        float position[3];
        terrain_field *f = terrain_current;
        int frozen = f->heights_frozen;
        f->heights_frozen = 0;
        erode_apply_queue(erode_protected_position(frame, position),
                          (float)race_state.erode_amount / 1024.0f);
        f->heights_frozen = frozen;
    }
    frame_stage("erode");
}

static void terrain_upkeep() {
    double delay = settings.reshade_delay.value;
    int d = std::isfinite(delay) ? (int)(delay < 0 ? 0 : delay > 20 ? 20 : delay) : 0;
    terrain_update_frame(frame_loop.view_mode == VIEW_EDITOR ? 0 : (1 << d) - 1);
}

int frame_loop_pass() {
    if (frame_loop.quit_requested) return 0;
    choose_view();
    if (!frame_draw()) return 0;
    update_sound();
    double now;
    double advance = frame_pace(&now);
    if (net_connected())
        advance *= frame_online_scale(net_client.server_tick_estimate, race_state.current_tick,
                                      race_state.gate_drop_tick);
    frame_loop.previous_time = now;
    frame_loop.target_time += advance;
    frame_clock += advance;
    read_pointer();
    frame_run_ticks(now);
    warp_restart();
    erode_step();
    terrain_upkeep();
    console_expire();
    frame_stage("update");
    setup_change_report();
    return 1;
}

void frame_loop_run() {
    while (frame_loop_pass()) {
    }
}
