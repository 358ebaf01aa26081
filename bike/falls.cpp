// Falls and respawn: throwing the rider off, the ejection test, the tethers that pull a fallen
// rider back to the bike and re-joining it to the seat.
#include <cmath>

#include "bike/contact.h"
#include "bike/physics.h"
#include "bike/riding.h"
#include "core/util.h"

static int current_tick() {
    return bike_hooks.current_tick ? bike_hooks.current_tick() : 0;
}

static vec3 to_vec3(const dReal *v) {
    return {(float)v[0], (float)v[1], (float)v[2]};
}

static vec3 row_point(const bike_info *row, int at) {
    return {bike_v(row, at), bike_v(row, at + 1), bike_v(row, at + 2)};
}

static vec3 body_point(dBodyID body, vec3 p) {
    dVector3 w;
    dBodyGetRelPointPos(body, p.x, p.y, p.z, w);
    return to_vec3(w);
}

static vec3 body_point_velocity(dBodyID body, vec3 p) {
    dVector3 v;
    dBodyGetPointVel(body, p.x, p.y, p.z, v);
    return to_vec3(v);
}

// The rider's seat in the frame's own coordinates: the rider's rest position less the frame's.
static vec3 seat_offset(const bike_info *row) {
    return row_point(row, 183) - row_point(row, 16);
}

void rider_fall_off(rider_slot *s) {
    dBodyID rider = bike_rider_body(s);
    if (!rider || s->respawn_counter >= 1 || s->rider_contact_timer < 0) return;
    dJointAttach(bike_joint_of(s, BIKE_JOINT_RIDER), nullptr, nullptr);
    vec3 left, right;
    rider_pose_points(s, &left, &right, nullptr, nullptr);
    s->fall_points[0] = left;
    s->fall_points[1] = body_point_velocity(rider, left);
    s->fall_points[2] = right;
    s->fall_points[3] = body_point_velocity(rider, right);
    int k = s->fall_count < 0 ? 0 : s->fall_count > 15 ? 15 : s->fall_count;
    int delay = fall_delay_table[k];
    delay = delay < 0 ? 0 : delay > 460800 ? 460800 : delay;
    s->respawn_counter = RESPAWN_TICKS + delay;
    s->fall_count++;
    s->fall_tic = current_tick();
}

void rider_ejection_test(rider_slot *s) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider || s->respawn_counter > 0 || s->arcade) return;
    const float h = RIDING_TICK;
    int tic = current_tick();
    float m = 1.5f;
    if (s->landing_tic >= s->air_tic) {
        // Air time beyond 0.559 s, full at 0.685 s, for the first 0.125 s after touching down.
        float a = util_clamp(((float)(s->landing_tic - s->air_tic) * h - 0.559f) * 7.9365087f, 0, 1);
        float b = util_clamp((0.25f - (float)(tic - s->landing_tic) * h) * 8, 0, 1);
        m = 1.5f - 0.5f * a * b;
    }
    vec3 v = to_vec3(dBodyGetLinearVel(rider));
    dVector3 fv;
    const dReal *rp = dBodyGetPosition(rider);
    dBodyGetPointVel(frame, rp[0], rp[1], rp[2], fv);
    vec3 relative = v - to_vec3(fv);
    float limit = 31 * m;
    if (vec3_length2(relative) > limit * limit) {
        rider_fall_off(s);
        return;
    }
    vec3 jolt = (v - s->rider_velocity_ring[tic & 3]) * (0.25f / h) + vec3{0, 32, 0};
    float jolt_limit = 1376 * m;
    if (vec3_length2(jolt) > jolt_limit * jolt_limit) rider_fall_off(s);
}

void bike_tether(dBodyID a, vec3 pa, dBodyID b, vec3 pb, float slack) {
    if (!a && !b) return;
    vec3 wa = a ? body_point(a, pa) : pa, wb = b ? body_point(b, pb) : pb;
    vec3 d = wb - wa;
    float len = sqrtf(vec3_length2(d));
    if (!(len > slack)) return;
    const double h = PHYSICS_TICK;
    dContact c{};
    c.surface.mode = dContactSoftERP | dContactSoftCFM;
    c.surface.mu = 0;
    c.surface.soft_cfm = 1.0 / (5000 * h + 500);
    c.surface.soft_erp = 5000 * h / (5000 * h + 500);
    // The normal is the separation itself, not a unit vector: the pull grows with the stretch.
    c.geom.pos[0] = wa.x;
    c.geom.pos[1] = wa.y;
    c.geom.pos[2] = wa.z;
    c.geom.normal[0] = d.x;
    c.geom.normal[1] = d.y;
    c.geom.normal[2] = d.z;
    c.geom.depth = len - slack;
    contact_joint_create(c, a, b);
}

void rider_reseat_springs(rider_slot *s) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider) return;
    const bike_info *row = bike_row_of(s);
    int n = s->respawn_counter;
    float slack = 5 * util_clamp((float)(n - 128) * (1.0f / 384), 0, 1);
    vec3 o = seat_offset(row);
    bike_tether(frame, o, rider, {0, 0, 0}, slack);
    bike_tether(frame, o + vec3{-5, 10, 0}, rider, {-5, 10, 0}, slack);
    bike_tether(frame, o + vec3{5, 10, 0}, rider, {5, 10, 0}, slack);
    if (n > 319) return;
    // One foot walks to the bike: the one on the side the bike leans away from.
    int foot = bike_body_tilt(frame) < 0 ? 0 : 2;
    vec3 rest = row_point(row, foot == 0 ? 578 : 581);
    vec3 target = body_point(frame, {rest.x, rest.y + 3, rest.z + 1});
    vec3 d = (target - s->fall_points[foot]) * 32.0f;
    float len2 = vec3_length2(d);
    if (len2 > 1) d = d * (1.0f / sqrtf(len2));
    if (std::isfinite(d.x) && std::isfinite(d.y) && std::isfinite(d.z))
        s->fall_points[foot + 1] = d * 4.0f;
}

// Contacts of the lying rider's shape with the frame's and the upper fork's.
static void rider_part_contacts(rider_slot *s) {
    dBodyID rider = bike_rider_body(s);
    if (!s->rider_shape) return;
    shape_transform tr = shape_transform_from_body(rider);
    struct part { collision_shape *shape; int body; };
    for (const part &p : {part{s->frame_shape, BIKE_BODY_FRAME},
                          part{s->fork_upper_shape, BIKE_BODY_FORK_UPPER}}) {
        if (!p.shape) continue;
        dBodyID body = bike_body_of(s, p.body);
        contact_shape_shape(s->rider_shape, rider, tr, p.shape, body,
                            shape_transform_from_body(body), 0);
    }
}

void rider_respawn_step(rider_slot *s) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider || s->respawn_counter <= 0) return;
    const bike_info *row = bike_row_of(s);
    dBodyID upper = bike_body_of(s, BIKE_BODY_FORK_UPPER);
    vec3 v = to_vec3(dBodyGetLinearVel(rider));
    if (vec3_length2(v) >= 4) {
        float arm = 0.875f * (bike_v(row, 584) + bike_v(row, 585));
        bike_tether(rider, row_point(row, 560), upper, row_point(row, 572), arm);
        bike_tether(rider, row_point(row, 563), upper, row_point(row, 575), arm);
        if (s->respawn_counter > RESPAWN_TICKS - 1)
            bike_tether(rider, {0, bike_v(row, 570), bike_v(row, 571)}, upper,
                        {0, bike_v(row, 576), bike_v(row, 577) + 10}, 8);
        rider_part_contacts(s);
        // A rider that never lies still (a rut, a long slope) still gets back on in the end.
        if (current_tick() - s->fall_tic >= RESPAWN_BOUND_TICKS) s->respawn_counter--;
    } else {
        s->respawn_counter--;
    }
    if (s->respawn_counter < RESPAWN_TICKS) rider_reseat_springs(s);
    if (s->respawn_counter <= 0) {
        s->respawn_counter = 0;
        // Placed at the seat first: attaching re-bases the joint on the bodies' pose.
        // In double: a seat rounded to float would leave the two anchors apart for good.
        vec3 o = seat_offset(row);
        dVector3 seat, fv;
        dBodyGetRelPointPos(frame, o.x, o.y, o.z, seat);
        dBodySetPosition(rider, seat[0], seat[1], seat[2]);
        dBodySetQuaternion(rider, dBodyGetQuaternion(frame));
        dBodyGetPointVel(frame, seat[0], seat[1], seat[2], fv);
        dBodySetLinearVel(rider, fv[0], fv[1], fv[2]);
        const dReal *w = dBodyGetAngularVel(frame);
        dBodySetAngularVel(rider, w[0], w[1], w[2]);
        bike_reseat_rider(s);
    }
}
