// Moving a whole bike by hand, for the riding-control rides of ride-log and their tests: turned
// about its frame, stopped, set rolling, lifted; the player's riding aids; and the rail a rider
// rides into.
#pragma once

#include <string>

#include "bike/physics.h"
#include "bike/riding.h"
#include "terrain/terrain.h"

// Turns every body of the bike by the angle about the world axis through the frame's position
// (through the ground under the frame when on_ground is set: the tyres stay on the ground).
inline void riding_turn_bike(rider_slot *s, vec3 axis, float angle, bool on_ground = false) {
    dMatrix3 R;
    dRFromAxisAndAngle(R, axis.x, axis.y, axis.z, angle);
    const dReal *f = dBodyGetPosition(bike_frame_body(s));
    dReal c[3] = {f[0], f[1], f[2]};
    if (on_ground) c[1] = physics_ground_height_at(terrain_current, (float)f[0], (float)f[2]);
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        const dReal *p = dBodyGetPosition(body);
        dReal d[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
        dReal q[3];
        for (int i = 0; i < 3; i++) q[i] = c[i] + R[4 * i] * d[0] + R[4 * i + 1] * d[1] + R[4 * i + 2] * d[2];
        const dReal *o = dBodyGetRotation(body);
        dMatrix3 n;
        dMultiply0_333(n, R, o);
        dBodySetRotation(body, n);
        dBodySetPosition(body, q[0], q[1], q[2]);
    }
}

// Every body of the bike at rest.
inline void riding_stop_bike(rider_slot *s) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodySetLinearVel(bike_body_of(s, b), 0, 0, 0);
        dBodySetAngularVel(bike_body_of(s, b), 0, 0, 0);
    }
}

// Every body of the bike moving at the velocity, no spin but the wheels' rolling.
inline void riding_set_velocity(rider_slot *s, vec3 v) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodySetLinearVel(bike_body_of(s, b), v.x, v.y, v.z);
        dBodySetAngularVel(bike_body_of(s, b), 0, 0, 0);
    }
}

// The bike rolling straight ahead (along -z) at the speed, its wheels turning with it.
inline void riding_roll(rider_slot *s, float v) {
    riding_set_velocity(s, {0, 0, -v});
    const bike_info *row = bike_row_of(s);
    float spin = -v / (bike_v(row, 3) + bike_v(row, 4));
    dBodySetAngularVel(bike_body_of(s, BIKE_BODY_FRONT_WHEEL), spin, 0, 0);
    dBodySetAngularVel(bike_body_of(s, BIKE_BODY_REAR_WHEEL), spin, 0, 0);
}

// Every body of the bike raised by h ft.
inline void riding_lift(rider_slot *s, float h) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        const dReal *q = dBodyGetPosition(bike_body_of(s, b));
        dBodySetPosition(bike_body_of(s, b), q[0], q[1] + h, q[2]);
    }
}

// The player's riding aids: stability 100 (direct steering 0.125, restricted lock 1 degree),
// automatic dab, realign and shifting.
inline void riding_player_aids(rider_slot *s) {
    bike_set_direct_steering(s, 0.125f);
    bike_set_restricted_lock(s, 1 * 3.14159265f / 180);
    bike_set_auto_dab(s, 1);
    bike_set_auto_align(s, 1);
    bike_set_auto_shift(s, 1);
}

// The rail, a ".shp" text: a row of spheres 16 ft wide across the path (along x), as stiff as
// a statue. Placed 1.8 ft above the seated rider it crosses the path above the bars, where the
// rider's chest meets it.
inline std::string riding_rail_shape_text() {
    std::string text = "9\n";
    for (int x = -4; x <= 4; x++) text += std::to_string(2 * x) + " 0 0 1.5 0.5 20000 2000\n";
    return text;
}
constexpr float RIDING_RAIL_ABOVE_RIDER = 1.8f;   // ft
