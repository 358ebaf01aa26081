// One-tick contact joints: the soft surface from a spring and a damper, the last check before
// a joint reaches the physics world, placing a shape where its body stands and a wheel's frame.
#include <cmath>

#include "bike/contact.h"
#include "bike/physics.h"

int contact_surface(dContact *c, float kp, float kd, float mu) {
    float rate = CONTACT_TICK * kp + kd;
    if (!(rate > 0)) return 0;  // two dead springs: an infinite CFM
    float cfm = 1.0f / rate;
    c->surface.mode = dContactApprox1 | dContactSoftERP | dContactSoftCFM;
    c->surface.mu = mu;
    c->surface.soft_cfm = cfm;
    c->surface.soft_erp = CONTACT_TICK * kp * cfm;
    return 1;
}

void contact_set_geometry(dContact *c, vec3 point, vec3 normal, float depth) {
    c->geom.pos[0] = point.x;
    c->geom.pos[1] = point.y;
    c->geom.pos[2] = point.z;
    c->geom.normal[0] = normal.x;
    c->geom.normal[1] = normal.y;
    c->geom.normal[2] = normal.z;
    c->geom.depth = depth;
}

static bool contact_finite(const dReal *v, int n) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

dJointID contact_joint_create(const dContact &c, dBodyID b1, dBodyID b2) {
    if (!physics_world) return nullptr;
    const dReal surface[3] = {c.surface.mu, c.surface.soft_erp, c.surface.soft_cfm};
    if (!contact_finite(c.geom.pos, 3) || !contact_finite(c.geom.normal, 3) ||
        !contact_finite(&c.geom.depth, 1) || !contact_finite(surface, 3))
        return nullptr;
    if ((c.surface.mode & dContactFDir1) && !contact_finite(c.fdir1, 3)) return nullptr;
    if ((c.surface.mode & dContactMu2) && !contact_finite(&c.surface.mu2, 1)) return nullptr;
    dJointID joint = dJointCreateContact(physics_world, physics_contact_group, &c);
    dJointAttach(joint, b1, b2);
    return joint;
}

shape_transform shape_transform_from_body(dBodyID body) {
    shape_transform t;
    const dReal *p = dBodyGetPosition(body);
    const dReal *r = dBodyGetRotation(body);  // 3 rows of 4, the fourth unused
    t.position = {(float)p[0], (float)p[1], (float)p[2]};
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 3; col++) t.rotation[row][col] = (float)r[4 * row + col];
    return t;
}

void shape_place(collision_shape *shape, const shape_transform &t) {
    const collision_shape *source = shape->source_shape;
    if (!source) return;
    const float(*m)[3] = t.rotation;
    for (int i = 0; i < shape->count; i++) {
        vec3 c = source->rows[i].centre;
        shape->rows[i].centre = {m[0][0] * c.x + m[0][1] * c.y + m[0][2] * c.z + t.position.x,
                                 m[1][0] * c.x + m[1][1] * c.y + m[1][2] * c.z + t.position.y,
                                 m[2][0] * c.x + m[2][1] * c.y + m[2][2] * c.z + t.position.z};
    }
}

bool wheel_world_frame(const wheel_contact &wheel, vec3 *centre, vec3 *axle) {
    const dReal *p = dBodyGetPosition(wheel.body);
    dVector3 tip;
    dBodyGetRelPointPos(wheel.body, wheel.axle.x, wheel.axle.y, wheel.axle.z, tip);
    *centre = {(float)p[0], (float)p[1], (float)p[2]};
    *axle = {(float)(tip[0] - p[0]), (float)(tip[1] - p[1]), (float)(tip[2] - p[2])};
    return std::isfinite(centre->x) && std::isfinite(centre->y) && std::isfinite(centre->z) &&
           std::isfinite(axle->x) && std::isfinite(axle->y) && std::isfinite(axle->z);
}
