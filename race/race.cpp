// Race reset, the world tick and the controls of the running race.
#include "race/race.h"

#include <cstring>

#include "bike/bike_step.h"
#include "bike/physics.h"
#include "bike/wheel_contacts.h"
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
#include "race/robots.h"
#include "race/series.h"
#include "race/track.h"
#include "terrain/erode.h"

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
    if (first < 0) {
        race_roles[0] = 2;  // a lone robot
        first = 0;
    }
    viewed_slot = local >= 0 ? local : first;
    for (int i = 0; i < RIDER_SLOTS; i++) rider_status[i] = kind_of_role(race_roles[i]);
}

int race_reset(const int *roles, int play_demo, int record_demo, int race_time, int laps,
               int robot_level) {
    (void)record_demo;
    series_enter_results();
    loading_status("Resetting...");
    plyx_log("Resetting\n");
    loading.slowest_gap = 0;
    loading.slowest_text[0] = 0;
    mt_seed((uint32_t)race_state.current_tick);
    if (track_name) {
        if (race_state.robot_level >= 0) autopilot_write_lines(race_state.robot_level);
        line_store_clear();
        demo_close_playback();
    }
    demo_finish_recording();

    plyx_log("Deallocating bikes\n");
    for (int i = 0; i < RIDER_SLOTS; i++) {
        race_engine_sounds[i] = nullptr;
        if (race_hooks.engine_sound_free) race_hooks.engine_sound_free(i);
        bike_free(i);
    }
    race_state.running_count = 0;
    plyx_log("Finished deallocating bikes\n");

    race_state.current_tick = 0;
    erode_queue_reset();
    race_state.countdown_ticks = RACE_COUNTDOWN_TICKS;
    race_state.race_time = race_time;
    race_state.laps = laps;
    race_state.erode_amount = game_settings.erode_amount;
    race_state.time_trial = roles == nullptr;

    const char *folder = nullptr;
    if (play_demo && demo_open_playback()) folder = demo_playback_track;
    if (!folder && !play_demo) folder = choice_text(&settings.track);
    if (race_hooks.script_unload) race_hooks.script_unload();
    if (race_hooks.script_free_sounds) race_hooks.script_free_sounds();
    rider_table_init();
    if (!folder || !*folder) {
        if (track_name) track_unload();
        return 0;
    }
    if (!track_name || strcmp(track_name, folder) != 0) {
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
    race_take_roles(roles);
    race_state.robot_level = robot_level;
    char text[64];
    snprintf(text, sizeof text, "%d MB texture memory used\n", (int)(texture_memory_bytes >> 20));
    console_print(text);
    tex_purge(0);
    model_purge(0);
    if (race_time == 0) {
        race_state.final_lap = laps;
        race_state.half_way_lap = (laps + 1) / 2;
    } else {
        race_state.final_lap = RACE_NO_FINAL_LAP;
        race_state.half_way_lap = RACE_NO_FINAL_LAP;
    }
    if (race_state.time_trial) race_end();
    plyx_log("Max loading delay was %f (%s)\n", loading.slowest_gap, loading.slowest_text);
    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
    if (race_hooks.boost_process) race_hooks.boost_process();
    return 1;
}

// The slots whose bikes this machine simulates: kinds 0 (local) and 2 (robot).
static bool race_simulated(int slot) {
    return rider_has_bike(slot) && rider_status[slot] != 1;
}

void race_tick() {
    // Ground contacts, slot order.
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (race_simulated(i) && rider_is_solid(&rider_table[i])) bike_ground_contacts(&rider_table[i]);
    // Roost: the first emitter turns with the tick.
    int occupied[RIDER_SLOTS], n = 0;
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (rider_has_bike(i)) occupied[n++] = i;
    for (int k = 0; k < n; k++) {
        int slot = occupied[((unsigned)race_state.current_tick + (unsigned)k) % (unsigned)n];
        if (rider_status[slot] != 1) bike_emit_roost(&rider_table[slot]);
    }
    // Nothing that is not finite reaches the world step.
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (race_simulated(i) && !bike_state_finite(&rider_table[i])) bike_hold_finite(&rider_table[i]);
    if (physics_world) physics_step();
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (race_simulated(i)) bike_check_finite(i);
    // Ruts.
    if (race_state.erode_amount > 0)
        for (int i = 0; i < RIDER_SLOTS; i++)
            if (race_simulated(i)) bike_tyre_debug_text(&rider_table[i]);
    // Riders.
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (rider_has_bike(i)) bike_step(&rider_table[i]);
    race_state.current_tick++;
}

void race_end() {
    // Restarting the player's time-trial run joins with the race rules.
}

// The sticky sit/dab toggle and the previous tick's sit/dab input.
static int sticky_dab_on[RIDER_SLOTS];
static float previous_sit_dab[RIDER_SLOTS];

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

// No rider is a ghost until the contact rules say otherwise; weak, so that their definition
// takes its place.
__attribute__((weak)) int race_rider_is_ghost(int slot) {
    (void)slot;
    return 0;
}
