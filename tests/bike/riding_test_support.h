// Helpers of the riding-control tests: a bike turned about its frame, stopped, and the one-tick
// motors attached to its frame.
#pragma once

#include <vector>

#include "bike/riding.h"
#include "tests/bike/ride_test_support.h"

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

// The angular motors joined to the frame this tick.
inline std::vector<dJointID> riding_frame_motors(rider_slot *s) {
    std::vector<dJointID> out;
    dBodyID frame = bike_frame_body(s);
    for (int i = 0; i < dBodyGetNumJoints(frame); i++) {
        dJointID j = dBodyGetJoint(frame, i);
        if (dJointGetType(j) == dJointTypeAMotor) out.push_back(j);
    }
    return out;
}

// The riding tests' fixture: the player's riding aids (stability 100: direct steering 0.125,
// restricted lock 1 degree; auto dab, auto align, automatic shifting) on the bike in slot 0.
class bike_riding : public bike_ride {
  public:
    rider_slot *place_player(float x = 256, float z = 256, float yaw = 0) {
        rider_slot *r = place(x, z, yaw);
        if (!r) return nullptr;
        bike_set_direct_steering(r, 0.125f);
        bike_set_restricted_lock(r, 1 * 3.14159265f / 180);
        bike_set_auto_dab(r, 1);
        bike_set_auto_align(r, 1);
        bike_set_auto_shift(r, 1);
        return r;
    }
    // The heading of the frame's horizontal velocity, left (toward -x from -z) positive.
    float velocity_heading() {
        vec3 v = frame_velocity();
        return std::atan2(-v.x, -v.z);
    }
    // Throttle that holds the speed near the wanted one.
    void hold_speed(float wanted) {
        rider_set_throttle(s, std::clamp((wanted - speed()) * 0.5f, 0.0f, 1.0f));
    }
    bool rider_on() { return s->respawn_counter == 0 && s->fall_count == 0; }
};
