// Contacts between collision shapes: sphere pairs as joints or penalty forces, shape against
// shape, and a tyre against a shape.
#include <algorithm>
#include <cmath>

#include "bike/contact.h"

// The velocity of the body at a world point, its spin included; zero without a body.
static vec3 body_point_velocity(dBodyID body, vec3 p) {
    if (!body) return {0, 0, 0};
    dVector3 v;
    dBodyGetPointVel(body, p.x, p.y, p.z, v);
    return {(float)v[0], (float)v[1], (float)v[2]};
}

static void contact_push(dBodyID body, vec3 force, vec3 at) {
    if (body && dBodyIsEnabled(body))
        dBodyAddForceAtPos(body, force.x, force.y, force.z, at.x, at.y, at.z);
}

int contact_sphere_sphere(const collision_sphere &a, dBodyID body_a, const collision_sphere &b,
                          dBodyID body_b, int mode, contact_result *out) {
    vec3 d = b.centre - a.centre;
    float d2 = vec3_length2(d);
    float reach = a.radius + b.radius;
    if (!(d2 < reach * reach)) return 0;  // apart, or a centre not finite
    if (!body_a && !body_b) return 1;
    float smaller = std::min(a.radius, b.radius);
    // Nearly one centre: no direction to push along, so nothing is made.
    if (d2 <= 0 || (d2 < 1.0f / 256 && d2 < smaller * smaller / 256)) return 1;
    float dist = sqrtf(d2);
    float depth = reach - dist;
    vec3 n = d * (1.0f / dist);
    vec3 point = a.centre + d * ((a.radius - depth / 2) / dist);
    vec3 va = body_point_velocity(body_a, point);
    if (out) {
        *out = {};
        out->point = point;
        out->velocity = va;
        out->normal = n;
        out->contact_depth = depth;
    }
    if (mode == -1) return 1;

    float kp = std::min(a.spring, b.spring);
    if (kp * depth > CONTACT_PAIR_FORCE_MAX) kp = CONTACT_PAIR_FORCE_MAX / depth;
    float kd = std::min(a.damper, b.damper);
    float mu = std::min(a.mu, b.mu);
    if (mode == 0) {
        dContact c{};
        if (!contact_surface(&c, kp, kd, mu)) return 1;
        contact_set_geometry(&c, point, n, depth);
        contact_joint_create(c, body_b, body_a);
        return 1;
    }
    vec3 vb = body_point_velocity(body_b, point);
    float f = depth * kp + (vec3_dot(va, n) - vec3_dot(vb, n)) * kd;
    if (!std::isfinite(f)) return 1;
    f = std::clamp(f, -CONTACT_FORCE_MAX, CONTACT_FORCE_MAX);
    contact_push(body_b, n * f, point);
    contact_push(body_a, n * -f, point);
    return 1;
}

int contact_shape_shape(collision_shape *a, dBodyID body_a, const shape_transform &ta,
                        collision_shape *b, dBodyID body_b, const shape_transform &tb, int mode) {
    float reach = a->bounding_radius + b->bounding_radius;
    if (!(vec3_length2(tb.position - ta.position) < reach * reach)) return 0;
    shape_place(a, ta);
    shape_place(b, tb);
    int touched = 0;
    for (int i = 0; i < a->count; i++)
        for (int j = 0; j < b->count; j++)
            touched |= contact_sphere_sphere(a->rows[i], body_a, b->rows[j], body_b, mode, nullptr);
    return touched;
}

int contact_shape_shape_bodies(collision_shape *shape, dBodyID body, const shape_transform &t,
                               wheel_contact *wheel, int mode) {
    vec3 c, axle;
    if (!wheel_world_frame(*wheel, &c, &axle)) return 0;
    float reach = wheel->section_radius + wheel->ring_radius + shape->bounding_radius;
    if (!(vec3_length2(c - t.position) < reach * reach)) return 0;
    shape_place(shape, t);

    collision_sphere tyre = {{0, 0, 0}, wheel->section_radius, TYRE_MU, TYRE_SPRING, TYRE_DAMPER};
    contact_result deepest{};
    int touched = 0;
    for (int i = 0; i < shape->count; i++) {
        const collision_sphere &s = shape->rows[i];
        ring_closest_point(&tyre.centre, c, axle, wheel->ring_radius, s.centre);
        contact_result found{};
        if (!contact_sphere_sphere(tyre, wheel->body, s, body, mode, &found)) continue;
        touched = 1;
        if (found.contact_depth > deepest.contact_depth) deepest = found;
    }
    if (deepest.contact_depth > 0 && wheel->contact_depth == 0) {
        wheel->point = deepest.point;
        wheel->velocity = deepest.velocity;
        wheel->normal = deepest.normal;
        wheel->contact_depth = deepest.contact_depth;
        wheel->joint_feedback = {};
    }
    return touched;
}
