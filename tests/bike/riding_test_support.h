// Helpers of the riding-control tests: a bike turned about its frame, stopped, and the one-tick
// motors attached to its frame.
#pragma once

#include <vector>

#include "bike/riding.h"
#include "tests/bike/ride_test_support.h"

// Turns every body of the bike by the angle about the world axis through the frame's position.
inline void riding_turn_bike(rider_slot *s, vec3 axis, float angle) {
    dMatrix3 R;
    dRFromAxisAndAngle(R, axis.x, axis.y, axis.z, angle);
    const dReal *f = dBodyGetPosition(bike_frame_body(s));
    dReal c[3] = {f[0], f[1], f[2]};
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
