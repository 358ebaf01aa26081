// The world tick: one fixed order of every step of the race world.
#include <cstring>

#include "bike/bike_step.h"
#include "bike/part_contacts.h"
#include "bike/physics.h"
#include "bike/suspension.h"
#include "bike/wheel_contacts.h"
#include "core/net_state.h"
#include "core/util.h"
#include "race/demo.h"
#include "race/history.h"
#include "race/contacts.h"
#include "race/particles.h"
#include "race/autopilot.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/start_gate.h"
#include "race/tick_profile.h"
#include "race/tick_steps.h"
#include "race/time_trial.h"
#include "race/timing.h"

suspension_graph_record suspension_graph = {{}, 1024};
int suspension_graph_on = 0;

// The tick's working lists: occupied slots in ascending order, and the contact list.
static int occupied[RIDER_SLOTS];
static int occupied_count;
static rider_slot *contact_list[RIDER_SLOTS];
static int contact_count;

static int online() {
    return net_client.socket >= 0;
}

static void list_occupied() {
    occupied_count = 0;
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (rider_has_bike(i)) occupied[occupied_count++] = i;
}

// 2: riders of kind 1 posed from their history at the view tick.
static void pose_history_riders() {
    race_tick_marks(TICK_PART_REST);
    history_pose_riders(demo_playback_version());
    race_tick_marks(TICK_PART_POSING);
}

// 3: the time trial's lap numbers of slots 0 and 1, for step 14.
static int time_trial_laps[2];
static void remember_time_trial_laps() {
    if (!race_state.time_trial) return;
    race_tick_steps(TICK_STEP_TRIAL_LAPS);
    for (int k = 0; k < 2; k++) {
        int index;
        rider_lap_progress(k, &time_trial_laps[k], &index);
    }
}

// A history rider's contacts with the gate arms while they still count.
static void collide_gate_arms(rider_slot *s) {
    race_tick_steps(TICK_STEP_GATE_ARMS, (int)(s - rider_table));
    float reach = race_bike_reach(s);
    for (int g = 0; g < race_state.gate_count; g++) race_collide_statue_row(s, starting_gates[g].statue, reach);
}

// Ground and statue contacts of a simulated rider.
static void collide_statues(rider_slot *s) {
    if (!rider_is_solid(s)) return;
    race_tick_steps(TICK_STEP_GROUND, (int)(s - rider_table));
    race_collide_statues(s);
}

// 4.2-4.3: the contact list fastest first, then every pair.
static void collide_contact_list() {
    race_tick_steps(TICK_STEP_RIDER_PAIRS);
    util_heapsort(contact_list, contact_count, sizeof(rider_slot *), race_compare_speed);
    collide_rider_list(contact_list, contact_count, 0);
}

// 4: contacts offline.
static void contacts_offline() {
    contact_count = 0;
    for (int k = 0; k < occupied_count; k++) {
        int slot = occupied[k];
        rider_slot *s = &rider_table[slot];
        // Only solid riders meet: a contact with a hidden rider's disabled bodies would wake them.
        if (rider_is_solid(s)) {
            race_tick_steps(TICK_STEP_CONTACT_LIST, slot);
            contact_list[contact_count++] = s;
        }
        if (rider_status[slot] != 1)
            collide_statues(s);
        else if (race_gate_arms_solid())
            collide_gate_arms(s);
    }
    collide_contact_list();
}

// 5: contacts online: the fresh remote riders in the race against the client's own rider.
static void contacts_online() {
    int own = net_client.slot;
    int has_own = own >= 0 && own < RIDER_SLOTS && rider_has_bike(own);
    int own_in_race = has_own ? race_rider_in_race(own) : 1;
    int rule = race_state.running_count > 1 &&
               race_state.current_tick - race_state.gate_drop_tick >=
                   (int)(off_course_bias * RACE_TICKS_PER_SECOND);
    contact_count = 0;
    for (int k = 0; k < occupied_count; k++) {
        int slot = occupied[k];
        if (rider_status[slot] != 1) continue;
        if (has_own) {
            if (slot != own && race_state.current_tick - net_slot_state_tick[slot] >=
                                   RACE_TICKS_PER_SECOND)
                continue;
            if (rule && own_in_race && !race_rider_in_race(slot)) continue;
        }
        rider_slot *s = &rider_table[slot];
        race_tick_steps(TICK_STEP_CONTACT_LIST, slot);
        contact_list[contact_count++] = s;
        if (net_client.local_slot == RIDER_NO_SLOT && race_gate_arms_solid()) collide_gate_arms(s);
    }
    if (!has_own) return;
    rider_slot *mine = &rider_table[own];
    collide_statues(mine);
    if (net_client.local_slot == RIDER_NO_SLOT) return;
    race_tick_steps(TICK_STEP_RIDER_PAIRS);
    // The own rider against every candidate, fastest first; a touched candidate wakes and, once
    // solid, meets the ground and the statues too.
    util_heapsort(contact_list, contact_count, sizeof(rider_slot *), race_compare_speed);
    for (int i = 0; i < contact_count; i++) {
        rider_slot *other = contact_list[i];
        if (other == mine || !collide_riders(mine, other, 1)) continue;
        bike_hold_ghost(other);
        collide_statues(other);
    }
}

// 6: roost, the first emitter turning with the tick.
static void emit_roost() {
    for (int k = 0; k < occupied_count; k++) {
        int slot = occupied[((unsigned)race_state.current_tick + (unsigned)k) % (unsigned)occupied_count];
        race_tick_steps(TICK_STEP_ROOST, slot);
        if (rider_status[slot] != 1) bike_emit_roost(&rider_table[slot]);
    }
}

// The slots whose bikes this machine simulates: kinds 0 (local) and 2 (robot).
static bool simulated(int slot) {
    return rider_has_bike(slot) && rider_status[slot] != 1;
}

// 8: ruts from the riders simulated here.
static void lay_ruts() {
    if (race_state.erode_amount <= 0 || (online() && net_client.local_slot == RIDER_NO_SLOT)) return;
    for (int k = 0; k < occupied_count; k++)
        if (simulated(occupied[k])) {
            race_tick_steps(TICK_STEP_RUTS, occupied[k]);
            bike_tyre_debug_text(&rider_table[occupied[k]]);
        }
}

// 9: one rider's driving and bike step.
static void ride(int slot) {
    rider_slot *s = &rider_table[slot];
    int kind = rider_status[slot];
    race_tick_marks(TICK_PART_REST);
    if (kind == 2) {
        race_tick_steps(TICK_STEP_DRIVE, slot);
        autopilot_drive(s);
    }
    race_tick_marks(TICK_PART_ROBOTS);
    if (online()) {
        if (kind == 1) {
            race_tick_steps(TICK_STEP_FADE, slot);
            bike_fade_out(s);
        }
        if (kind == 0) {
            race_tick_steps(TICK_STEP_START_RULES, slot);
            race_start_rules(s);
        }
    }
    race_tick_steps(TICK_STEP_BIKE, slot);
    bike_step(s);
    race_tick_marks(TICK_PART_BIKES);
    if (!online() || kind == 0) {
        race_tick_steps(TICK_STEP_SAMPLE, slot);
        autopilot_record_sample(s);
    }
    race_tick_marks(TICK_PART_LAPS);
}


// 15: the viewed rider's suspension read-outs into the rings.
static void record_suspension_graph() {
    if (!suspension_graph_on || !rider_has_bike(viewed_slot)) return;
    race_tick_steps(TICK_STEP_GRAPH, viewed_slot);
    suspension_graph_record &g = suspension_graph;
    if (g.index == 1024) {
        for (int ring : {1, 2, 4, 5}) memset(g.rings[ring], 0, sizeof g.rings[ring]);
        g.index = 0;
    }
    const rider_slot *s = &rider_table[viewed_slot];
    bike_front_suspension(s, &g.rings[0][g.index], &g.rings[1][g.index], &g.rings[2][g.index]);
    bike_rear_suspension(s, &g.rings[3][g.index], &g.rings[4][g.index], &g.rings[5][g.index]);
    g.index = (g.index + 1) % 1024;
}

void (*race_tick_mark)(int part) = nullptr;
void (*race_tick_step)(int step, int slot) = nullptr;

void race_tick() {
    race_tick_marks(TICK_PART_REST);
    race_tick_steps(TICK_STEP_SCRIPT);
    if (race_hooks.script_tic) race_hooks.script_tic();   // 1
    race_tick_steps(TICK_STEP_POSE);
    pose_history_riders();                                   // 2
    remember_time_trial_laps();                              // 3
    list_occupied();
    if (!online())
        contacts_offline();                                  // 4
    else
        contacts_online();                                   // 5
    race_tick_marks(TICK_PART_CONTACTS);
    emit_roost();                                            // 6
    for (int k = 0; k < occupied_count; k++)                 // nothing not finite reaches
        if (simulated(occupied[k]) && !bike_state_finite(&rider_table[occupied[k]]))   // the step
            bike_hold_finite(&rider_table[occupied[k]]);
    race_tick_marks(TICK_PART_REST);
    race_tick_steps(TICK_STEP_WORLD);
    if (physics_world) physics_step();                       // 7
    race_tick_marks(TICK_PART_WORLD);
    for (int k = 0; k < occupied_count; k++)
        if (simulated(occupied[k])) bike_check_finite(occupied[k]);
    lay_ruts();                                              // 8
    autopilot_gather_others();                               // what the robots see this tick
    for (int k = 0; k < occupied_count; k++) ride(occupied[k]);   // 9
    race_tick_steps(TICK_STEP_PARTICLES);
    particle_update();                                       // 10
    race_tick_steps(TICK_STEP_ARMS);
    race_update_gate_arms();                                 // 11
    race_tick_steps(TICK_STEP_CLOCK);
    race_state.current_tick++;                               // 12
    if (online() && race_state.current_tick % 512 == 511) {
        race_tick_steps(TICK_STEP_STANDINGS);
        race_update_standings();
    }
    race_tick_marks(TICK_PART_REST);
    race_tick_steps(TICK_STEP_DEMO);
    demo_write_frame(0);                                     // 13
    demo_read_frames();
    race_tick_marks(TICK_PART_DEMO);
    if (race_state.time_trial) {                             // 14
        race_tick_steps(TICK_STEP_TRIAL_CYCLE);
        time_trial_lap_cycle(time_trial_laps);
    }
    record_suspension_graph();                               // 15
    race_tick_marks(TICK_PART_REST);
}
