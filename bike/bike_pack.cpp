// Packing a slot's bodies, joints and engine into a packed rider state, and a record back onto
// the bodies.
#include <cmath>

#include "bike/packed_pose.h"
#include "bike/packed_state.h"
#include "bike/rider.h"
#include "terrain/terrain.h"

packed_ranges bike_packed_ranges(const rider_slot *s) {
    packed_ranges r = packed_row_ranges(bike_row_of(s));
    const terrain_field *t = terrain_current;
    if (t && t->heights) {
        r.extent = t->extent;
        r.min_height = t->min_height;
    }
    return r;
}

void bike_pack_state(rider_slot *s, unsigned char out[39]) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider) {
        for (int i = 0; i < PACKED_STATE_BYTES; i++) out[i] = 0;
        return;
    }
    packed_values v = {};
    const dReal *p = dBodyGetPosition(frame), *q = dBodyGetQuaternion(frame);
    const dReal *rp = dBodyGetPosition(rider), *rq = dBodyGetQuaternion(rider);
    for (int i = 0; i < 3; i++) {
        v.frame_position[i] = p[i];
        v.rider_offset[i] = rp[i] - p[i];
    }
    for (int i = 0; i < 4; i++) {
        v.frame_quaternion[i] = q[i];
        v.rider_quaternion[i] = rq[i];
    }
    v.steering = dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_STEERING));
    v.swingarm = dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_SWINGARM));
    v.fork = dJointGetSliderPosition(bike_joint_of(s, BIKE_JOINT_FORK));
    v.front_axle = dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_FRONT_AXLE));
    v.rear_axle = dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_REAR_AXLE));
    v.gear_flags = packed_gear_byte(s->respawn_counter, s->gear, s->controls.foot_down,
                                    s->controls.throttle);
    v.rpm = (double)s->engine_speed * 9.549296585513721;
    packed_state_encode(v, bike_packed_ranges(s), out);
}

// A unit quaternion from decoded values (never all zero: no code decodes to exactly 0).
static void set_quaternion(dBodyID b, const double q[4]) {
    double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    dQuaternion u = {1, 0, 0, 0};
    if (n > 1e-12 && std::isfinite(n))
        for (int i = 0; i < 4; i++) u[i] = q[i] / n;
    dBodySetQuaternion(b, u);
}

static void world_point(dBodyID b, double x, double y, double z, dVector3 out) {
    dBodyGetRelPointPos(b, x, y, z, out);
}

// R_parent x the joint's turn, set on the body.
static void set_turned(dBodyID body, dBodyID parent, const dMatrix3 turn) {
    dMatrix3 R;
    dMultiply0_333(R, dBodyGetRotation(parent), turn);
    dBodySetRotation(body, R);
}

void bike_unpack_state(rider_slot *s, const unsigned char *record, int version) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || !record) return;
    const packed_row_pose *g = packed_row_pose_of(bike_row_of(s));
    if (!g) return;
    packed_values v = packed_state_decode(record, version, bike_packed_ranges(s));
    dBodyID upper = bike_body_of(s, BIKE_BODY_FORK_UPPER), lower = bike_body_of(s, BIKE_BODY_FORK_LOWER),
            arm = bike_body_of(s, BIKE_BODY_SWINGARM), rider = bike_rider_body(s),
            front = bike_body_of(s, BIKE_BODY_FRONT_WHEEL), rear = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
    // The joints' bytes: steering, swingarm and fork, then the axles.
    int steering = record[17], swingarm = record[18], fork = record[19];
    int front_axle = record[version == 4 ? 21 : 34], rear_axle = record[version == 4 ? 22 : 35];
    dBodySetPosition(frame, v.frame_position[0], v.frame_position[1], v.frame_position[2]);
    set_quaternion(frame, v.frame_quaternion);
    dVector3 w;
    // Upper fork: turned about the steering axis.
    world_point(frame, g->upper[0], g->upper[1], g->upper[2], w);
    dBodySetPosition(upper, w[0], w[1], w[2]);
    set_turned(upper, frame, g->steering[steering]);
    // Swingarm: turned about the pivot.
    world_point(frame, g->swingarm_across, g->swingarm_point[swingarm][0], g->swingarm_point[swingarm][1], w);
    dBodySetPosition(arm, w[0], w[1], w[2]);
    set_turned(arm, frame, g->swingarm[swingarm]);
    // Lower fork: slid along the fork.
    world_point(upper, g->lower[fork][0], g->lower[fork][1], g->lower[fork][2], w);
    dBodySetPosition(lower, w[0], w[1], w[2]);
    dBodySetRotation(lower, dBodyGetRotation(upper));
    // Rider.
    if (version == 4) {
        const double *at = g->rider_v4[record[20]];
        world_point(frame, at[0], at[1], at[2], w);
        dBodySetPosition(rider, w[0], w[1], w[2]);
        dBodySetRotation(rider, dBodyGetRotation(frame));
    } else {
        const dReal *p = dBodyGetPosition(frame);
        dBodySetPosition(rider, p[0] + v.rider_offset[0], p[1] + v.rider_offset[1], p[2] + v.rider_offset[2]);
        set_quaternion(rider, v.rider_quaternion);
    }
    // Wheels on their axles.
    world_point(lower, g->front[0], g->front[1], g->front[2], w);
    dBodySetPosition(front, w[0], w[1], w[2]);
    set_turned(front, lower, g->axle[front_axle]);
    world_point(arm, g->rear[0], g->rear[1], g->rear[2], w);
    dBodySetPosition(rear, w[0], w[1], w[2]);
    set_turned(rear, arm, g->axle[rear_axle]);
    // Gear and flags.
    bike_apply_gear_flags(s, v.gear_flags);
    s->engine_speed = (float)(v.rpm * 0.10471975511965977);
}

void bike_apply_gear_flags(rider_slot *s, unsigned char g) {
    if ((g & 7) == 7) {
        dJointAttach(bike_joint_of(s, BIKE_JOINT_RIDER), nullptr, nullptr);
        s->respawn_counter = packed_respawn_counter(g);
        s->controls.throttle = 0;
    } else {
        if (s->respawn_counter != 0) bike_reseat_rider(s);
        s->respawn_counter = 0;
        bike_select_gear(s, (g & 7) > 5 ? 5 : g & 7);
        float t = (float)(g >> 4) / 15.0f;
        s->controls.throttle = t > 1 ? 1 : t;
    }
}
