// The start: line-up places, the gate drop draw, gate arms and the online start rules.
#include "race/start_gate.h"

#include <cmath>
#include <cstring>

#include "core/console.h"
#include "core/digest.h"
#include "race/race.h"
#include "race/statue.h"
#include "race/timing.h"
#include "terrain/terrain.h"

int race_false_start_penalty = 0;
float race_start_position[3];

int race_start_index(int slot, const int *roles, int server_race, int local_slot, int gates) {
    if (!server_race || !roles) return slot;
    if (roles[slot] != 5) return local_slot < RIDER_SLOTS ? local_slot : 0;
    int order = 0;
    for (int i = 0; i < slot; i++) order += roles[i] == 5;
    int k = gates + order;
    if (k >= local_slot && local_slot >= gates) k++;
    return k;
}

void race_start_place(int k, float point[3], float *yaw) {
    int gates = race_state.gate_count;
    if (gates > 0) {
        const starting_gate &g = starting_gates[k % gates];
        float back = 10.0f * ((float)(k / gates) + 1.0f / 16.0f);
        point[0] = g.position[0] + back * sinf(g.angle);
        point[1] = 0;
        point[2] = g.position[2] + back * cosf(g.angle);
        *yaw = g.angle;
        return;
    }
    float size = terrain_current ? terrain_current->extent : 0.0f;
    point[0] = size / 2 + 5.0f * (float)k;
    point[1] = 0;
    point[2] = size / 2;
    *yaw = 0;
}

int race_draw_gate_drop() {
    double u = (double)(mt_next() & 0x7fffffffu) * (1.0 / 2147483648.0);
    return (int)((13.0 + 2.0 * u) * RACE_TICKS_PER_SECOND);
}

void race_raise_gate_arms() {
    for (int i = 0; i < RIDER_SLOTS; i++) {
        starting_gates[i].arm_fraction = 1;
        starting_gates[i].arm_speed = 0;
    }
}

int race_gate_arms_solid() {
    return race_state.current_tick <= race_state.gate_drop_tick + RACE_GATE_WINDOW_TICKS;
}

// The arm statue turned by the fraction about its local x axis over its ground orientation.
static void orient_arm(track_statue *statue, float fraction) {
    float o[9];
    track_orient_to_ground(o, statue->x, statue->z, statue->yaw);
    float angle = fraction * 3.0f * (float)M_PI / 16.0f;
    float c = cosf(angle), s = sinf(angle);
    const float r[9] = {1, 0, 0, 0, c, s, 0, -s, c};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            statue->orientation[i * 3 + j] =
                o[i * 3 + 0] * r[0 * 3 + j] + o[i * 3 + 1] * r[1 * 3 + j] + o[i * 3 + 2] * r[2 * 3 + j];
}

void race_update_gate_arms() {
    int now = race_state.current_tick;
    int drop = race_state.gate_drop_tick + race_state.view_delay;
    if (now > drop + RACE_GATE_WINDOW_TICKS) return;
    int gates = race_state.gate_count;
    if (now < drop) race_raise_gate_arms();
    for (int i = 0; i < gates; i++) {
        starting_gate &g = starting_gates[i];
        track_statue *statue = track_statue_at(g.statue);
        if (g.statue < 0 || g.arm_fraction <= 0) continue;
        if (now > drop) {
            if (statue && statue->last_hit_tick == now) {
                g.arm_speed = 0;   // leaned on: it holds where it is
                continue;
            }
            float speed = g.arm_speed + 32.0f * RACE_TICK;
            float fraction = g.arm_fraction - RACE_TICK * speed;
            g.arm_fraction = fraction < 0 ? 0 : fraction;
            g.arm_speed = speed > 8 ? 8 : speed;
        }
        if (statue) orient_arm(statue, g.arm_fraction);
    }
}

void race_start_rules(rider_slot *s) {
    if (race_false_start_penalty > 0) {
        race_false_start_penalty--;
        rider_set_front_brake(s, 1);
        rider_set_rear_brake(s, 1);
        rider_set_back_up(s, 0);
        rider_set_clutch(s, 0);
        rider_set_throttle(s, 0);
        rider_set_sit_dab(s, 1);
        return;
    }
    if (race_state.current_tick > race_state.gate_drop_tick) return;
    rider_set_sit_dab(s, 1);
    dBodyID frame = bike_frame_body(s);
    if (!frame) return;
    const dReal *p = dBodyGetPosition(frame);
    double dx = p[0] - race_start_position[0], dy = p[1] - race_start_position[1],
           dz = p[2] - race_start_position[2];
    if (dx * dx + dy * dy + dz * dz >= 9) {
        race_false_start_penalty =
            RACE_FALSE_START_TICKS + (race_state.gate_drop_tick - race_state.current_tick);
        console_print("15 second false start penalty\n");
    }
}
