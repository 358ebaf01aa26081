// ride-log's runner: the hidden window, start-up's first race on the chosen track, one tick with
// scripted controls, and the rider's usual line.
#include <cstdio>
#include <cstring>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/folders.h"
#include "game/config.h"
#include "game/entry.h"
#include "present/scene.h"
#include "race/catalogue.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tools/ride-log/ride_log.h"
#include "tools/tool_window.h"

static window_context *window = nullptr;

int ride_log_open(const char *track) {
    window = tool_window_open("ride-log", 320, 240);
    if (!window) return 0;
    startup_install_hooks();
    if (!track_scan_catalogue()) {
        fputs("No tracks found\n", stderr);
        return 0;
    }
    track_name = track ? util_intern(track) : nullptr;
    if (!config_select_start_track()) return 0;
    track_lists_create();
    scene_lists_create();
    terrain_use_main_field();
    physics_open();
    rider_table_init();
    for (int i = 0; i < RIDER_SLOTS; i++) {
        rider_status[i] = 1;
        race_lineup[i] = 0;
    }
    race_lineup[0] = 1;
    track_name = nullptr;
    if (!race_reset(race_lineup, 0, 0, 0, 1000, settings.robot_skill.current)) {
        fputs("ride-log: the track did not load\n", stderr);
        return 0;
    }
    if (!rider_has_bike(0)) {
        fputs("ride-log: the rider's bike did not load\n", stderr);
        return 0;
    }
    return 1;
}

void ride_log_tick(const control_record &controls) {
    race_apply_controls(0, &controls);
    race_tick();
}

std::string ride_log_line(int slot) {
    rider_slot *s = rider_slot_at(slot);
    dBodyID frame = s ? bike_frame_body(s) : nullptr;
    if (!frame) return "no rider";
    const dReal *p = dBodyGetPosition(frame), *v = dBodyGetLinearVel(frame);
    char line[200];
    snprintf(line, sizeof line, "tick %d at (%.2f, %.2f, %.2f) speed %.2f ft/s gear %d",
             race_state.current_tick, p[0], p[1], p[2], sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]),
             rider_get_gear(s));
    return line;
}

void ride_log_close() {
    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (race_hooks.engine_sound_free) race_hooks.engine_sound_free(i);
        bike_free(i);
    }
    track_unload();
    physics_close();
    track_lists_free();
    scene_lists_free();
    track_catalogue_free();
    if (window) tool_window_close(window);
    window = nullptr;
}
