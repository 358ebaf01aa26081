// The ticks of a pass: each takes the input events stamped up to its time, maps the bound
// controls onto the nine axes, drives the player's rider or the camera, runs the network client
// and the world tick. And the dispatch of the keys nothing else took.
#include <cmath>

#include "bike/bike_step.h"
#include "bike/physics.h"
#include "core/globals.h"
#include "core/settings.h"
#include "editor/editor.h"
#include "game/chase_camera.h"
#include "game/controls.h"
#include "game/frame_capture.h"
#include "game/frame_loop.h"
#include "game/sound_output.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "present/camera.h"
#include "present/scene.h"
#include "race/demo.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "ui/menu.h"

static int binding_pressed(int binding, int code, int pressed) {
    int k = settings.bindings[binding].key_code;
    return pressed && k >= 0 && k == code;
}

// Leaving the editor: the terrain catches up, every bike is lifted clear of the ground it may
// now stand in, and the chase camera takes over.
static void leave_editor() {
    terrain_update_all();
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!rider_has_bike(slot)) continue;
        bike_translate(slot, 0.0f, 0.125f, 0.0f);
        bike_lift_clear(slot);
        bike_translate(slot, 0.0f, -0.125f, 0.0f);
    }
    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
    frame_loop.view_mode = VIEW_CHASE;
}

static void cycle_view() {
    int &mode = frame_loop.view_mode;
    switch (mode) {
    case VIEW_ONBOARD:
        mode = game_settings.editor_mode ? VIEW_EDITOR : VIEW_CHASE;
        break;
    case VIEW_CHASE:
        mode = VIEW_CAMERA;
        break;
    case VIEW_CAMERA:
        mode = VIEW_ONBOARD;
        break;
    case VIEW_EDITOR:
        leave_editor();
        break;
    default:
        break;
    }
}

// The viewed rider moves one place along the running order.
static void switch_bike(int step) {
    if (frame_player_view() && !settings.spy &&
        !(net_connected() && net_client.slot == RIDER_NO_SLOT))
        return;
    int count = race_state.running_count;
    if (count < 1) return;
    int at = -1;
    for (int i = 0; i < count; i++)
        if (race_state.running_order[i].slot == viewed_slot) at = i;
    int to = at < 0 ? 0 : at + step;
    if (to < 0 || to >= count) return;
    viewed_slot = race_state.running_order[to].slot;
}

void frame_dispatch_key(int code, int pressed) {
    if (pressed && code == menu_key_codes.esc) {
        menu_page = menu_page == MENU_NONE ? MENU_MAIN : MENU_NONE;
        menu_selected_item = 0;
    }
    if (menu_page != MENU_NONE) {
        if (pressed) menu_handle_key(code, 1);
        if (!track_name) frame_loop.view_mode = VIEW_SPLASH;
        return;
    }
    int &mode = frame_loop.view_mode;
    if (binding_pressed(BINDING_CONSOLE, code, pressed) && mode != VIEW_EDITOR) {
        menu_page = MENU_CHAT;
        menu_selected_item = 0;
        return;
    }
    if (mode == VIEW_SPLASH) return;
    if (mode == VIEW_EDITOR && editor_handle_key(code, pressed)) return;
    if (binding_pressed(BINDING_PAUSE, code, pressed) && !net_connected()) {
        frame_loop.paused = !frame_loop.paused;
    } else if (binding_pressed(BINDING_STEP, code, pressed) && frame_loop.paused) {
        race_tick();
    } else if (pressed && code == KEY_TAB) {
        cycle_view();
    } else if (binding_pressed(BINDING_REWIND, code, pressed)) {
        demo_seek(-1.0f);
    } else if (binding_pressed(BINDING_SKIP, code, pressed)) {
        demo_seek(1.0f);
    } else if (binding_pressed(BINDING_PREV, code, pressed)) {
        switch_bike(-1);
    } else if (binding_pressed(BINDING_NEXT, code, pressed)) {
        switch_bike(1);
    } else if (binding_pressed(BINDING_SCREENSHOT, code, pressed) && mode != VIEW_EDITOR) {
        screenshot_take();
    } else if (pressed && code >= '0' && code <= '9') {
        int digit = code - '0', count = camera_trackside_count();
        current_camera = (digit < count ? digit : count) - 1;
    }
}

void frame_take_event(int code, int pressed) {
    if (code == (int)EVENT_CLOSE) frame_loop.quit_requested = 1;
    if (menu_page != frame_loop.last_event_page) {
        menu_page_changed = 1;
        frame_loop.last_event_page = menu_page;
    }
    controls_key_event(code, pressed);
    if (code == menu_key_codes.cursor_left) menu_left_button = pressed;
    if (watch_binding) {
        if (pressed && code == menu_key_codes.esc) {
            menu_watch_end();
            if (game_settings.debug_level) plyx_log("Done watching pots\n");
        } else if (pressed && !watch_key_name) {
            const char *name = plyx_input_key_name(game_window, (uint32_t)code);
            if (name) {
                watch_key_name = name;
                watch_key_code = code;
                watch_time = frame_clock;
            }
        }
        return;
    }
    frame_dispatch_key(code, pressed);
}

// Takes the events of one tick: up to its time, or every queued one for the pass's last tick.
static void take_tick_events(double tick_time, int last) {
    if (tick_time < 0.0) tick_time = 0.0;
    int seconds = (int)std::floor(tick_time);
    int microseconds = (int)((tick_time - seconds) * 1e6);
    uint32_t code;
    int pressed;
    for (;;) {
        int got = last ? frame_io.next_event(game_window, &code, &pressed)
                       : frame_io.next_event_before(game_window, &code, &pressed, seconds,
                                                    microseconds);
        if (!got) break;
        frame_stage("getmessage");
        frame_take_event((int)code, pressed);
    }
}

static void drive(const control_record *axes) {
    if (frame_player_view()) {
        if (race_state.time_trial && axes->axis[CONTROL_BACK_UP] > 0.5f &&
            settings.time_trial_abort.current == 1)
            race_end();
        int slot = viewed_slot;
        if (rider_status[slot] == 0 && rider_has_bike(slot)) race_apply_controls(slot, axes);
    } else {
        camera_controls_tick(axes, frame_loop.view_mode);
    }
}

void frame_run_ticks(double now) {
    frame_loop_state &f = frame_loop;
    while (f.simulated_time < f.target_time) {
        f.simulated_time += TICK_SECONDS;
        // In double on the program-start clock: single precision would put events of a long
        // run into the wrong tick.
        double tick_time = now - (f.target_time - f.simulated_time);
        int last = f.simulated_time >= f.target_time;
        f.axes = {};
        take_tick_events(tick_time, last);
        frame_stage("processmessage");
        if (watch_binding) menu_watch_axes();
        controls_read_axis_rows();
        controls_sum(&f.axes);
        int offline = !net_connected();
        if (menu_page != MENU_NONE && frame_player_view() && offline) continue;
        if (f.view_mode == VIEW_EDITOR) {
            editor_update();
            if (offline) continue;
        }
        if (menu_page == MENU_NONE && f.view_mode != VIEW_SPLASH) drive(&f.axes);
        frame_stage("action");
        if (!offline) f.paused = 0;
        net_client_update();
        if (!track_name) f.view_mode = VIEW_SPLASH;
        frame_stage("net");
        if (f.paused || f.view_mode == VIEW_SPLASH) continue;
        if (!offline && net_client.server_tick_estimate <= 0) continue;
        race_tick();
        frame_stage("tic");
        if (run_options.record_audio_file) sound_output_record_tick();
    }
}
