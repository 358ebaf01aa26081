// Contacts made by the program itself: one-tick contact joints in the physics world's contact
// group, sphere pairs between collision shapes, and a tyre against a shape.
#pragma once

#include <ode/ode.h>

#include "bike/geometry.h"
#include "bike/shape.h"

// What a contact test found: where, how fast the first body moves there, the unit normal and
// the depth (0: no contact), then the force the world step measured on its joint.
struct contact_result {
    vec3 point;
    vec3 velocity;
    vec3 normal;
    float contact_depth;
    dJointFeedback joint_feedback;
};

// One wheel's tyre and its contact of this tick; contact_depth 0 is the only mark of no contact.
struct wheel_contact {
    dBodyID body;
    vec3 axle;              // in the wheel body's frame: (1, 0, 0)
    float ring_radius;      // from the axle to the centre of the tyre's cross-section
    float section_radius;   // the cross-section's radius
    vec3 point;             // world
    vec3 velocity;          // of the wheel body at point, spin included
    vec3 normal;            // unit
    float contact_depth;
    dJointFeedback joint_feedback;
};

// Where a shape stands for one pass: position and the rows of the body's rotation.
struct shape_transform {
    vec3 position;
    float rotation[3][3];
};

// The body's placement (its rotation's three columns of each of its three rows).
shape_transform shape_transform_from_body(dBodyID body);
// Writes R c + P into the copy's rows, c the body-frame centre from its cached shape. A cached
// shape (no source) is left as it is.
void shape_place(collision_shape *shape, const shape_transform &t);

// The joint's surface: approximate friction mu, soft ERP and CFM from the spring rate kp and
// damping kd over one tick. 0 (nothing to make) when h kp + kd is not positive.
int contact_surface(dContact *c, float kp, float kd, float mu);
// Makes the contact joint c in the contact group and attaches it (b1 pushed along the normal,
// b2 or none the other way): the joint, or null when a value of c is not finite.
dJointID contact_joint_create(const dContact &c, dBodyID b1, dBodyID b2);

// Two spheres with world centres, bodies or none. mode -1 only tests (fills out), 0 makes a
// contact joint attached (b, a), any other value adds a penalty force pair. 1 when they
// overlap (also when their centres nearly coincide, which makes nothing), else 0.
int contact_sphere_sphere(const collision_sphere &a, dBodyID body_a, const collision_sphere &b,
                          dBodyID body_b, int mode, contact_result *out);
// Every sphere of a against every sphere of b, both placed first: 1 when any pair overlaps.
int contact_shape_shape(collision_shape *a, dBodyID body_a, const shape_transform &ta,
                        collision_shape *b, dBodyID body_b, const shape_transform &tb, int mode);
// The wheel's tyre against a shape: 1 when it touches any sphere. The deepest touch goes into
// the wheel's contact when that holds none yet.
int contact_shape_shape_bodies(collision_shape *shape, dBodyID body, const shape_transform &t,
                               wheel_contact *wheel, int mode);

constexpr float CONTACT_TICK = 1.0f / 128.0f;
constexpr float CONTACT_FORCE_MAX = 1000.0f;        // penalty pair, either sign
constexpr float CONTACT_PAIR_FORCE_MAX = 2500.0f;   // spring force of a sphere pair joint
constexpr float TYRE_MU = 1.0f;                     // the tyre as a sphere against a shape
constexpr float TYRE_SPRING = 25000.0f;
constexpr float TYRE_DAMPER = 2500.0f;
