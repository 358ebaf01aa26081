// The bike step: one tick of one rider's bike, in eighteen steps.
#include "bike/bike_step.h"

#include <cmath>

#include "bike/drivetrain.h"
#include "bike/riding.h"
#include "bike/suspension.h"
#include "core/util.h"

static const double TICK = 1.0 / 128.0;

static vec3 to_vec3(const dReal *v) {
    return {(float)v[0], (float)v[1], (float)v[2]};
}

// Step 9's back-up push: pulses once every 128 ticks, held off before the first multiple of
// 128 ticks after the gate drop while (tick & 0x180) is non-zero.
static void back_up_push(rider_slot *s, int tic, int drop) {
    dBodyID frame = bike_frame_body(s);
    double c = (1 - std::cos((tic & 127) * 0.049473900056532176)) / 2;
    if (tic < ((drop + 128) & ~127) && (tic & 0x180) != 0) c = 0;
    s->controls.sit_dab = s->respawn_counter < 1 ? 1.0f : 0.0f;
    const dReal *r = dBodyGetRotation(frame);
    vec3 back = {(float)r[2], (float)r[6], (float)r[10]};
    bike_pull_horizontal(frame, 2000, back * (float)(4 * c));
    bike_frame_amotor(s, {0, 1, 0}, -s->controls.lean * c * 1.5707963267948966, 2000);
}

// Step 14: the front wheel's spin about anything but its axle is damped against the frame.
static void wobble_damping(rider_slot *s) {
    dBodyID wheel = bike_body_of(s, BIKE_BODY_FRONT_WHEEL);
    const dReal *r = dBodyGetRotation(wheel);
    vec3 a = {(float)r[0], (float)r[4], (float)r[8]};
    vec3 w = to_vec3(dBodyGetAngularVel(wheel));
    vec3 t = (a * vec3_dot(a, w) - w) * s->steering_damping;
    bike_add_torque(s, wheel, t);
    bike_add_torque(s, bike_frame_body(s), -t);
}

void bike_step(rider_slot *s) {
    dBodyID frame = bike_frame_body(s);
    if (!frame) return;
    int tic = bike_current_tick(), drop = bike_gate_drop_tick();
    vec3 v = to_vec3(dBodyGetLinearVel(frame));
    float s2 = vec3_length2(v);

    // 1. Down rule, for every presence.
    if (!s->down_flag && tic * TICK > drop * TICK + 2.0 && s2 < BIKE_LOW_SPEED * BIKE_LOW_SPEED)
        s->down_flag = 1;
    // 2. A ghost or hidden rider is only posed.
    if (!rider_is_solid(s)) {
        rider_update_pose(s);
        return;
    }
    // 3. The rider contact timer moves one unit toward 0.
    if (s->rider_contact_timer > 1)
        s->rider_contact_timer -= 1;
    else if (s->rider_contact_timer < -1)
        s->rider_contact_timer += 1;
    else
        s->rider_contact_timer = 0;
    // 4. Air and landing ticks.
    bool front = s->front_contact.contact_depth > 0, rear = s->rear_contact.contact_depth > 0;
    if (!front && !rear) {
        if (v.y < 0 && s->landing_tic >= s->air_tic) s->air_tic = tic;
    } else if (s->landing_tic < s->air_tic) {
        s->landing_tic = tic;
    }
    // 5, 6. Ejection and respawn.
    rider_ejection_test(s);
    if (s->respawn_counter > 0) rider_respawn_step(s);
    // 7, 8.
    float sit_dab = s->controls.sit_dab, front_brake = s->controls.front_brake,
          rear_brake = s->controls.rear_brake;
    s2 = vec3_length2(to_vec3(dBodyGetLinearVel(frame)));
    // 9. Back-up push, else the automatic dab.
    if (s->controls.back_up > 0 && s2 < BIKE_LOW_SPEED * BIKE_LOW_SPEED)
        back_up_push(s, tic, drop);
    else if (bike_auto_dab(s))
        rider_auto_dab(s);
    // 10. Seat springs and suspension.
    bike_suspension_step(s);
    // 11, 12. Steering.
    if (!s->arcade)
        bike_steering(s);
    else if (s->respawn_counter < 1)
        bike_arcade_steering(s);
    // 13. Engine and drivetrain.
    bike_drivetrain(s);
    // 14. Front wheel wobble damping.
    wobble_damping(s);
    // 15.
    bike_joint_force_correction(s);
    rider_balance(s);
    // 16. The step's overrides are undone.
    s->controls.sit_dab = util_clamp(s->respawn_counter < 1 ? sit_dab : 0, 0, 1);
    s->controls.front_brake = util_clamp(front_brake, 0, 1);
    s->controls.rear_brake = util_clamp(rear_brake, 0, 1);
    // 17, 18.
    rider_update_pose(s);
    dBodyID rider = bike_rider_body(s);
    if (rider) s->rider_velocity_ring[tic & 3] = to_vec3(dBodyGetLinearVel(rider));
}
