// Helpers of the riding-control tests: the one-tick motors attached to the frame, and the
// player's riding aids (the bike moved by hand: tools/ride-log/ride_control.h).
#pragma once

#include <vector>

#include "bike/riding.h"
#include "tests/bike/ride_test_support.h"
#include "tools/ride-log/ride_control.h"

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
        riding_player_aids(r);
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
