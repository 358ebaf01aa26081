// Race reset, the world tick and the controls of the running race.
#include "race/race.h"

#include <cstring>

#include "bike/bike_models.h"
#include "bike/bike_step.h"
#include "bike/physics.h"
#include "bike/wheel_contacts.h"
#include "core/net_state.h"
#include "core/console.h"
#include "core/digest.h"
#include "core/loading.h"
#include "core/settings.h"
#include "core/util.h"
#include "core/widget_data.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "platform/plyx.h"
#include "race/demo.h"
#include "race/history.h"
#include "race/lines.h"
#include "race/particles.h"
#include "race/planner.h"
#include "race/robots.h"
#include "race/series.h"
#include "race/standings.h"
#include "race/start_gate.h"
#include "race/time_trial.h"
#include "race/timing.h"
#include "race/track.h"
#include "terrain/erode.h"
#include "terrain/terrain.h"

static race_state_record race_state_initial() {
    race_state_record r = {};
    r.robot_level = -1;
    return r;
}

race_state_record race_state = race_state_initial();
race_hook_table race_hooks = {};
int rider_status[RIDER_SLOTS];
int race_lineup[RIDER_SLOTS];
int race_roles[RIDER_SLOTS];
void *race_engine_sounds[RIDER_SLOTS];
int race_slot_words[RIDER_SLOTS];
int viewed_slot = 0;
control_record race_last_controls[RIDER_SLOTS];
const char *race_rider_names[RIDER_SLOTS];
race_slot_look race_slot_looks[RIDER_SLOTS];
const char *race_server_track = nullptr;
int race_server_gate_drop = 0;
rider_slot *(*race_bike_load)(const char *, int, int, const char *, const char *, const char *,
                              const char *, const char *) = bike_load;

// Slot kinds by role: the local rider is simulated here, robots are driven by the auto pilot,
// everything else follows its history.
static int kind_of_role(int role) {
    if (role == 1) return 0;
    if ((role >= 2 && role <= 4) || role >= 1000) return 2;
    return 1;
}

// The roles of the new race and the slot viewed first.
static void race_take_roles(const int *roles) {
    if (!roles) {
        memset(race_roles, 0, sizeof race_roles);
        race_roles[0] = 1;
        race_state.current_tick = RACE_TIME_TRIAL_START_TICK;
    } else {
        memcpy(race_roles, roles, sizeof race_roles);
    }
    int first = -1, local = -1;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (race_roles[i] && first < 0) first = i;
        if (race_roles[i] == 1) {
            if (local < 0)
                local = i;
            else
                race_roles[i] = 0;  // one local rider
        }
    }
    if (first < 0 && demo_rider_count > 0) {
        first = 0;          // the demo's riders take the empty slots
    } else if (first < 0) {
        race_roles[0] = 2;  // a lone robot
        first = 0;
    }
    viewed_slot = local >= 0 ? local : first;
    for (int i = 0; i < RIDER_SLOTS; i++) rider_status[i] = kind_of_role(race_roles[i]);
}

// What one slot's rider is loaded with.
struct rider_choice {
    int kind;
    const char *model, *number, *body, *head, *bike, *wheels, *name, *personality;
};

// The next roster row; roles 3, 4 and 1000 + n first swap the last unused row that fits into
// the next position.
static const race_roster_row &next_robot(int role) {
    int next = race_roster_next % RACE_ROSTER_ROWS;
    if (race_roster_next < RACE_ROSTER_ROWS && role != 2) {
        char number[16];
        if (role >= 1000) snprintf(number, sizeof number, "%d", role - 1000);
        for (int k = RACE_ROSTER_ROWS - 1; k >= next; k--) {
            const race_roster_row &row = race_roster[race_roster_order[k]];
            int fits = role == 3   ? strstr(row.model, "125") != nullptr
                       : role == 4 ? strstr(row.model, "250") != nullptr
                                   : strcmp(row.number, number) == 0;
            if (!fits) continue;
            int t = race_roster_order[k];
            race_roster_order[k] = race_roster_order[next];
            race_roster_order[next] = t;
            break;
        }
    }
    race_roster_next++;
    return race_roster[race_roster_order[next]];
}

static rider_choice choose_rider(int slot) {
    rider_choice c = {};
    int role = race_roles[slot];
    c.kind = kind_of_role(role);
    if (role == 1) {
        c.model = choice_text(&settings.bike);
        c.number = settings.rider_number_text;
        c.body = settings.rider_texture[0] ? settings.rider_texture : nullptr;
        c.head = settings.head_texture[0] ? settings.head_texture : nullptr;
        c.bike = settings.bike_texture[0] ? settings.bike_texture : nullptr;
        c.wheels = settings.wheel_texture[0] ? settings.wheel_texture : nullptr;
        c.name = settings.rider_name_text;
    } else if (c.kind == 2) {
        const race_roster_row &row = next_robot(role);
        c.model = row.model;
        c.number = row.number;
        c.name = "Roborider";
        c.personality = game_settings.practice_mode ? "tester" : row.personality;
    }
    // In a server race the local rider (role 1) and the remote riders (role 5) take what the
    // server's rider info names; demo riders (role 0) come with the demo's.
    if ((role == 1 || role == 5) && net_client.socket >= 0 && slot < NET_NO_SLOT) {
        const net_rider_info_record &r = net_rider_info[slot];
        auto given = [](const char *t, const char *otherwise) { return t[0] ? t : otherwise; };
        c.model = given(r.model, c.model);
        c.number = given(r.number, c.number);
        c.body = given(r.rider_texture, c.body);
        c.head = given(r.head_texture, c.head);
        c.bike = given(r.bike_texture, c.bike);
        c.wheels = given(r.wheel_texture, c.wheels);
        c.name = given(r.name, c.name);
    }
    if (role == 0) {
        int k = demo_place_next_rider(slot);
        if (k >= 0) {
            const demo_rider_record &d = demo_rider[k];
            c.model = d.model;
            c.number = d.number;
            c.body = d.body;
            c.head = d.head;
            c.bike = d.bike;
            c.wheels = d.wheels;
            c.name = d.name;
        }
    }
    return c;
}

// The slot's name and looks as its bike was loaded, and its engine sound.
static void note_rider(int slot, const rider_choice &c) {
    race_rider_names[slot] = c.name ? util_intern(c.name) : nullptr;
    auto intern = [](const char *t) { return t && *t ? util_intern(t) : nullptr; };
    race_slot_looks[slot] = {intern(bike_model_alias(c.model)), intern(c.number), intern(c.body),
                             intern(c.head), intern(c.bike), intern(c.wheels)};
    if (race_hooks.engine_sound_load) race_hooks.engine_sound_load(slot, c.bike);
}

// A rider driven from its history: hidden, its body held, steered as a follower.
static void hold_history_rider(rider_slot *s) {
    bike_hold_hidden(s);
    bike_set_roll_damping(s, 100);
    bike_set_full_lock_speed(s, 5);
    bike_set_restricted_lock_speed(s, 50);
    bike_set_restricted_lock(s, 0.0436332f);
}

// Places the slot's rider at its start, loads it and sets it up by kind.
static void load_rider(int slot, int server_race) {
    float point[3], yaw;
    int k = race_start_index(slot, race_roles, server_race, net_client.local_slot,
                             race_state.gate_count);
    race_start_place(k, point, &yaw);
    rider_choice c = choose_rider(slot);
    rider_status[slot] = c.kind;
    race_rider_names[slot] = nullptr;
    race_slot_looks[slot] = race_slot_look{};
    if (!c.model) return;
    rider_slot *s = race_bike_load(bike_model_alias(c.model), slot, c.kind == 1, c.number, c.body,
                                   c.head, c.bike, c.wheels);
    if (!s || !rider_has_bike(slot)) {
        rider_status[slot] = 1;
        return;
    }
    note_rider(slot, c);
    race_drop_to_ground(slot, point[0], point[2], yaw);
    if (c.kind == 0) {
        const dReal *p = dBodyGetPosition(bike_frame_body(s));
        for (int i = 0; i < 3; i++) race_start_position[i] = (float)p[i];
        race_false_start_penalty = 0;
    }
    if (c.kind == 1)
        hold_history_rider(s);
    else
        bike_hold_visible(s);
    if (c.kind == 2) rider_set_personality(s, c.personality);
}

int race_load_demo_rider(int slot, int k) {
    if (slot < 0 || slot >= RIDER_SLOTS || k < 0 || k >= demo_rider_count) return 0;
    const demo_rider_record &d = demo_rider[k];
    rider_choice c = {1, d.model, d.number, d.body, d.head, d.bike, d.wheels, d.name, nullptr};
    race_rider_names[slot] = nullptr;
    race_slot_looks[slot] = race_slot_look{};
    rider_status[slot] = 1;
    if (!c.model) return 0;
    rider_slot *s = race_bike_load(bike_model_alias(c.model), slot, 1, c.number, c.body, c.head, c.bike,
                                   c.wheels);
    if (!s || !rider_has_bike(slot)) return 0;
    note_rider(slot, c);
    hold_history_rider(s);
    demo_rider[k].slot = slot;
    return 1;
}

// The track this race runs on: the played demo's, the server's, else the Track choice's.
static const char *race_track_folder(int play_demo, int server_race) {
    if (play_demo && demo_open_playback()) return demo_playback_track;
    if (server_race && race_server_track) return race_server_track;
    return choice_text(&settings.track);
}

int race_reset(const int *roles, int play_demo, int record_demo, int race_time, int laps,
               int robot_level) {
    int server_race = roles != nullptr && net_client.socket >= 0;
    series_enter_results();
    loading_status("Resetting...");
    plyx_log("Resetting\n");
    loading.slowest_gap = 0;
    loading.slowest_text[0] = 0;
    race_shuffle_roster((uint32_t)race_state.current_tick);
    if (track_name) {
        loading_begin("Remembering lines");
        if (race_state.robot_level >= 0) autopilot_write_lines(race_state.robot_level);
        line_store_clear();
        demo_close_playback();
    }
    demo_finish_recording();

    loading_begin("Cleaning up");
    plyx_log("Deallocating bikes\n");
    for (int i = 0; i < RIDER_SLOTS; i++) {
        race_engine_sounds[i] = nullptr;
        if (race_hooks.engine_sound_free) race_hooks.engine_sound_free(i);
        bike_free(i);
    }
    race_state.running_count = 0;
    plyx_log("Finished deallocating bikes\n");

    race_state.current_tick = 0;
    race_state.countdown_ticks = RACE_COUNTDOWN_TICKS;
    race_state.race_time = race_time;
    race_state.laps = laps;
    if (!server_race) {
        race_state.gate_drop_tick = race_draw_gate_drop();
        race_state.erode_amount = game_settings.erode_amount;
        race_state.view_delay = 0;
        net_client.local_slot = RIDER_NO_SLOT;
        memset(net_slot_state_tick, 0, sizeof net_slot_state_tick);
        history_clear_all();
    } else {
        race_state.gate_drop_tick = race_server_gate_drop;
        race_state.erode_amount = -1;
        race_state.view_delay = net_client.local_slot == RIDER_NO_SLOT ? 127 : 0;
    }
    race_state.time_trial = roles == nullptr;

    const char *folder = race_track_folder(play_demo, server_race);
    if (race_hooks.script_unload) race_hooks.script_unload();
    if (race_hooks.script_free_sounds) race_hooks.script_free_sounds();
    rider_table_init();
    if (!folder || !*folder) {
        if (track_name) track_unload();
        return 0;
    }
    if (!track_name || strcmp(track_name, folder) != 0 || server_race || track_reload_request) {
        track_reload_request = 0;
        if (track_name) track_unload();
        // A new generation: what the new track does not load again is purged below.
        texture_generation++;
        texture_memory_bytes = 0;
        model_generation++;
        track_name = util_intern(folder);
        if (!track_load()) {
            track_name = nullptr;
            return 0;
        }
    }
    erode_queue_reset();
    if (race_hooks.script_load) {
        char script[1100];
        snprintf(script, sizeof script, "@%.1000s/frills.js", folder);
        race_hooks.script_load(script);
    }
    if (server_race && terrain_current) terrain_current->heights_frozen = 1;
    race_take_roles(roles);

    race_state.robot_level = robot_level;
    loading_begin("Analyzing lines");
    autopilot_load_lines(robot_level);
    autopilot_plan_lines();
    loading_begin("Loading bikes");
    for (int i = 0; i < RIDER_SLOTS; i++) {
        load_rider(i, server_race);
        loading_progress("Loading bikes");
    }
    history_clear_all();
    if (record_demo) demo_start_recording();
    particle_reset();
    for (int i = 0; i < line_store.row_count * LINE_SLOTS_PER_SEGMENT; i++)
        line_store.slots[i].last_picked = -1000000;
    char text[64];
    snprintf(text, sizeof text, "%d MB texture memory used\n", (int)(texture_memory_bytes >> 20));
    console_print(text);
    tex_purge(0);
    model_purge(0);
    // The race's own values: a played demo has put its lap count and finish time there.
    if (race_state.race_time == 0) {
        race_state.final_lap = race_state.laps;
        race_state.half_way_lap = (race_state.laps + 1) / 2;
    } else {
        race_state.final_lap = RACE_NO_FINAL_LAP;
        race_state.half_way_lap = RACE_NO_FINAL_LAP;
    }
    race_raise_gate_arms();
    if (timing_gates.count > 0) {
        race_state.first_lap_points = timing_gates.first_lap_length;
        race_state.lap_points = timing_gates.lap_length;
    } else {
        race_state.first_lap_points = 0;
        race_state.lap_points = 0;
    }
    if (race_state.time_trial) {
        last_lap_ticks = best_lap_ticks = 0;
        race_end();
    }
    plyx_log("Max loading delay was %f (%s)\n", loading.slowest_gap, loading.slowest_text);
    demo_write_frame(1);
    demo_read_frames();
    results_written = 0;
    race_completed_tick = -1;
    race_update_standings();
    if (!rider_has_bike(viewed_slot) && race_state.running_count > 0)
        viewed_slot = race_state.running_order[0].slot;
    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
    if (rider_status[viewed_slot] == 0 && rider_has_bike(viewed_slot) && race_hooks.apply_setup)
        race_hooks.apply_setup(viewed_slot);
    if (race_hooks.mark_setup_reported) race_hooks.mark_setup_reported();
    // The free camera 5 ft above the viewed rider; without one it stays where it is.
    if (rider_has_bike(viewed_slot) && race_hooks.place_free_camera) {
        const dReal *p = dBodyGetPosition(bike_frame_body(rider_slot_at(viewed_slot)));
        const float above[3] = {(float)p[0], (float)p[1] + 5.0f, (float)p[2]};
        race_hooks.place_free_camera(above);
    }
    if (race_hooks.boost_process) race_hooks.boost_process();
    return 1;
}

// The sticky sit/dab toggle and the previous tick's sit/dab input.
static int sticky_dab_on[RIDER_SLOTS];
static float previous_sit_dab[RIDER_SLOTS];

int race_sticky_dab_held(int slot) {
    return slot >= 0 && slot < RIDER_SLOTS && settings.sticky_dab.current && sticky_dab_on[slot];
}

void race_apply_controls(int slot, const control_record *controls) {
    if (slot < 0 || slot >= RIDER_SLOTS || !controls) return;
    race_last_controls[slot] = *controls;
    rider_slot *s = rider_slot_at(slot);
    if (!rider_has_bike(slot)) return;
    const float *a = controls->axis;
    float steer = a[CONTROL_STEER];
    rider_set_steer(s, settings.reverse_steering.current ? -steer : steer);
    rider_set_front_brake(s, a[CONTROL_FRONT_BRAKE]);
    rider_set_rear_brake(s, a[CONTROL_REAR_BRAKE]);
    rider_set_throttle(s, a[CONTROL_THROTTLE]);
    float dab = a[CONTROL_SIT_DAB];
    if (settings.sticky_dab.current) {
        if (dab >= 0.5f && !(previous_sit_dab[slot] >= 0.5f)) sticky_dab_on[slot] ^= 1;
        previous_sit_dab[slot] = dab;
        dab = sticky_dab_on[slot] ? 1.0f : 0.0f;
    }
    rider_set_sit_dab(s, dab);
    rider_set_back_up(s, a[CONTROL_BACK_UP]);
    rider_set_lean(s, a[CONTROL_LEAN]);
    // Engagement falls with the lever, fully out at seven eighths of its travel; it comes back
    // at most 4 a second.
    float target = util_clamp(1.0f - util_clamp(a[CONTROL_CLUTCH], 0, 1) * 8.0f / 7.0f, 0, 1);
    float clutch = s->controls.clutch < target ? s->controls.clutch + 4.0f / 128.0f : target;
    rider_set_clutch(s, clutch);
    float shift = a[CONTROL_SHIFT];
    rider_shift(s, shift > 0.5f ? 1 : shift < -0.5f ? -1 : 0);
}
