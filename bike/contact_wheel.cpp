// A wheel's ground contact of the tick: the tyre's joint with the friction of the ground under
// it at its slip speed, the tyre's compression spring, and the rolling resistance.
#include <algorithm>
#include <cmath>

#include "bike/contact.h"
#include "terrain/terrain.h"

const tile_kind &contact_tile_kind(const terrain_field *f, vec3 point) {
    if (!f->tile_map || f->k < 0 || f->k > TERRAIN_K_MAX || !(f->spacing > 0)) return f->kinds[0];
    int q = 1 << f->k;
    float tile = 2 * f->spacing;
    float tx = point.x / tile, tz = point.z / tile;
    if (!std::isfinite(tx) || !std::isfinite(tz)) return f->kinds[0];
    int x = (int)std::clamp(tx, 0.0f, (float)(q - 1));
    int z = (int)std::clamp(tz, 0.0f, (float)(q - 1));
    return f->kinds[f->tile_map[(size_t)z * q + x]];
}

// Where key u falls on a curve of 8 points with keys b (ascending; end marks an unused point):
// the first point j with b_j == end or u < b_j (8 when none), and the share t of the way from
// point j - 1 to j (used when 1 <= j <= 7 and b_j is in use). squared compares and interpolates
// the squares of u and the keys.
static int curve_find(const float b[8], float end, float u, bool squared, float *t) {
    float key = squared ? u * u : u;
    int j = 0;
    while (j < 8 && b[j] != end && !(key < (squared ? b[j] * b[j] : b[j]))) j++;
    *t = 0;
    if (j >= 1 && j <= 7 && b[j] != end) {
        float lo = squared ? b[j - 1] * b[j - 1] : b[j - 1];
        float hi = squared ? b[j] * b[j] : b[j];
        *t = std::clamp((key - lo) / (hi - lo), 0.0f, 1.0f);
    }
    return j;
}

// The curve's value at the point curve_find gave.
static float curve_value(const float a[8], const float b[8], float end, int j, float t) {
    if (j == 0) return a[0];
    if (j <= 7 && b[j] != end) return a[j - 1] + (a[j] - a[j - 1]) * t;
    return a[j - 1];
}

static vec3 to_vec3(const dReal *v) {
    return {(float)v[0], (float)v[1], (float)v[2]};
}

// The speed the kind's friction curve is read at: the slip of the tyre's surface (1), the
// slip along it without the wheel's spin (2), or the plain speed compared in squares (others).
static float slip_speed(const tile_kind &kind, const wheel_contact &wheel) {
    float speed = sqrtf(vec3_length2(wheel.velocity));
    if (kind.slip_function != 2 || speed < 1.0f / 16) return speed;
    const dReal *r = dBodyGetRotation(wheel.body);
    vec3 e = {(float)r[0], (float)r[4], (float)r[8]};  // the body's x axis
    vec3 w = to_vec3(dBodyGetAngularVel(wheel.body));
    vec3 arm = wheel.point - to_vec3(dBodyGetPosition(wheel.body));
    vec3 g = to_vec3(dBodyGetLinearVel(wheel.body)) + vec3_cross(w - e * vec3_dot(e, w), arm);
    return std::clamp(vec3_dot(g, wheel.velocity) / speed, -speed, speed);
}

// How far the tyre is squashed: depth over the section radius, at most 1.
static float tyre_compression(const wheel_contact &wheel) {
    if (!(wheel.section_radius > 0)) return 1;
    return std::min(1.0f, wheel.contact_depth / wheel.section_radius);
}

int contact_wheel_surface(dContact *c, const terrain_field *f, const wheel_contact &wheel,
                          float friction_scale) {
    const tile_kind &kind = contact_tile_kind(f, wheel.point);
    float t;
    bool squared = kind.slip_function != 1 && kind.slip_function != 2;
    int j = curve_find(kind.friction_b, TERRAIN_FRICTION_UNUSED, slip_speed(kind, wheel), squared, &t);
    float mu = curve_value(kind.friction_a, kind.friction_b, TERRAIN_FRICTION_UNUSED, j, t) * friction_scale;

    float k3 = tyre_compression(wheel);
    k3 = k3 * k3 * k3;
    float kp = TYRE_GROUND_SPRING + (TYRE_GROUND_SPRING_FULL - TYRE_GROUND_SPRING) * k3;
    float kd = TYRE_GROUND_DAMPER + (TYRE_GROUND_DAMPER_FULL - TYRE_GROUND_DAMPER) * k3;
    *c = {};
    if (!contact_surface(c, kp, kd, mu)) return 0;
    contact_set_geometry(c, wheel.point, wheel.normal, wheel.contact_depth);

    vec3 d = vec3_cross(wheel.normal, wheel.velocity);
    if (!(vec3_length2(d) >= CONTACT_SLIDE_MIN2)) {
        dVector3 axle;
        dBodyVectorToWorld(wheel.body, wheel.axle.x, wheel.axle.y, wheel.axle.z, axle);
        d = vec3_cross(wheel.normal, to_vec3(axle));
    }
    float l2 = vec3_length2(d);
    if (l2 >= 1e-6f && std::isfinite(l2)) {   // an axle along the normal gives no direction
        d = d * (1.0f / sqrtf(l2));
        c->surface.mode |= dContactFDir1;
        c->fdir1[0] = d.x;
        c->fdir1[1] = d.y;
        c->fdir1[2] = d.z;
    }
    return 1;
}

// Rolling resistance against the wheel's motion along the ground: the kind's light- and
// full-load coefficients at the ground speed, mixed by compression.
static void rolling_resistance(const terrain_field *f, const wheel_contact &wheel) {
    const tile_kind &kind = contact_tile_kind(f, wheel.point);
    vec3 v = to_vec3(dBodyGetLinearVel(wheel.body));
    vec3 vt = v - wheel.normal * vec3_dot(v, wheel.normal);
    float w = sqrtf(vec3_length2(vt));
    float t;
    int j = curve_find(kind.roll_c, 0.0f, w, false, &t);
    float a = curve_value(kind.roll_a, kind.roll_c, 0.0f, j, t);
    float b = curve_value(kind.roll_b, kind.roll_c, 0.0f, j, t);
    if (w > 1) vt = vt * (1.0f / w);
    vec3 force = vt * -(a + (b - a) * tyre_compression(wheel));
    if (std::isfinite(force.x) && std::isfinite(force.y) && std::isfinite(force.z))
        dBodyAddForce(wheel.body, force.x, force.y, force.z);
}

int contact_wheel_ground(const terrain_field *f, wheel_contact *wheel, float friction_scale) {
    vec3 point, normal;
    float depth;
    if (!collide_wheel_terrain_joint(f, *wheel, &point, &normal, &depth)) {
        wheel->contact_depth = 0;
        return 0;
    }
    wheel->point = point;
    wheel->normal = normal;
    wheel->contact_depth = depth;
    dVector3 v;
    dBodyGetPointVel(wheel->body, point.x, point.y, point.z, v);
    wheel->velocity = to_vec3(v);

    dContact c;
    dJointID joint = contact_wheel_surface(&c, f, *wheel, friction_scale)
                         ? contact_joint_create(c, wheel->body, nullptr)
                         : nullptr;
    if (!joint) {
        // Values that cannot reach the physics (a wheel moving at no finite speed): no contact.
        wheel->contact_depth = 0;
        return 0;
    }
    dJointSetFeedback(joint, &wheel->joint_feedback);
    rolling_resistance(f, *wheel);
    return 1;
}
