// Packing a slot's bodies, joints and engine into a packed rider state, and a record back onto
// the bodies.
#include <cmath>

#include "bike/packed_state.h"
#include "bike/rider.h"
#include "terrain/terrain.h"

packed_ranges bike_packed_ranges(const rider_slot *s) {
    packed_ranges r = {};
    const terrain_field *t = terrain_current;
    if (t && t->heights) {
        r.extent = t->extent;
        r.min_height = t->min_height;
    }
    const bike_info *row = bike_row_of(s);
    r.swingarm_travel = bike_v(row, 60);
    r.fork_travel = bike_v(row, 48);
    r.rider_travel_low = bike_v(row, 186);
    r.rider_travel_high = bike_v(row, 187);
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

// R_parent x rotation about the axis by the angle, set on the body.
static void set_turned(dBodyID body, dBodyID parent, double ax, double ay, double az, double angle) {
    dMatrix3 A, R;
    dRFromAxisAndAngle(A, ax, ay, az, angle);
    dMultiply0_333(R, dBodyGetRotation(parent), A);
    dBodySetRotation(body, R);
}

void bike_unpack_state(rider_slot *s, const unsigned char *record, int version) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || !record) return;
    const bike_info *row = bike_row_of(s);
    auto V = [row](int n) { return (double)bike_v(row, n); };
    packed_values v = packed_state_decode(record, version, bike_packed_ranges(s));
    dBodyID upper = bike_body_of(s, BIKE_BODY_FORK_UPPER), lower = bike_body_of(s, BIKE_BODY_FORK_LOWER),
            arm = bike_body_of(s, BIKE_BODY_SWINGARM), rider = bike_rider_body(s),
            front = bike_body_of(s, BIKE_BODY_FRONT_WHEEL), rear = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
    dBodySetPosition(frame, v.frame_position[0], v.frame_position[1], v.frame_position[2]);
    set_quaternion(frame, v.frame_quaternion);
    dVector3 w;
    // Upper fork: turned about the steering axis.
    world_point(frame, V(23) - V(16), V(24) - V(17), V(25) - V(18), w);
    dBodySetPosition(upper, w[0], w[1], w[2]);
    set_turned(upper, frame, V(23) - V(32), V(24) - V(33), V(25) - V(34), v.steering);
    // Swingarm: turned about the pivot.
    double c = std::cos(v.swingarm), sn = std::sin(v.swingarm);
    double dy = V(27) - V(30), dz = V(28) - V(31);
    world_point(frame, V(26) - V(16), V(30) + c * dy - sn * dz - V(17), V(31) + sn * dy + c * dz - V(18), w);
    dBodySetPosition(arm, w[0], w[1], w[2]);
    set_turned(arm, frame, 1, 0, 0, v.swingarm);
    // Lower fork: slid along the fork.
    double ux = V(32) - V(23), uy = V(33) - V(24), uz = V(34) - V(25);
    double ul = std::sqrt(ux * ux + uy * uy + uz * uz);
    if (ul > 0) ux /= ul, uy /= ul, uz /= ul;
    world_point(upper, V(32) - V(23) + v.fork * ux, V(33) - V(24) + v.fork * uy,
                V(34) - V(25) + v.fork * uz, w);
    dBodySetPosition(lower, w[0], w[1], w[2]);
    dBodySetRotation(lower, dBodyGetRotation(upper));
    // Rider.
    if (version == 4) {
        double tx = V(180), ty = V(181), tz = V(182);
        double tl = std::sqrt(tx * tx + ty * ty + tz * tz);
        if (tl > 0) tx /= tl, ty /= tl, tz /= tl;
        world_point(frame, V(183) - V(16) + v.rider_travel * tx, V(184) - V(17) + v.rider_travel * ty,
                    V(185) - V(18) + v.rider_travel * tz, w);
        dBodySetPosition(rider, w[0], w[1], w[2]);
        dBodySetRotation(rider, dBodyGetRotation(frame));
    } else {
        const dReal *p = dBodyGetPosition(frame);
        dBodySetPosition(rider, p[0] + v.rider_offset[0], p[1] + v.rider_offset[1], p[2] + v.rider_offset[2]);
        set_quaternion(rider, v.rider_quaternion);
    }
    // Wheels on their axles.
    world_point(lower, V(0) - V(32), V(1) - V(33), V(2) - V(34), w);
    dBodySetPosition(front, w[0], w[1], w[2]);
    set_turned(front, lower, -1, 0, 0, v.front_axle);
    world_point(arm, V(8) - V(26), V(9) - V(27), V(10) - V(28), w);
    dBodySetPosition(rear, w[0], w[1], w[2]);
    set_turned(rear, arm, -1, 0, 0, v.rear_axle);
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
