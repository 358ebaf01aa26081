// Contacts made by the program itself: one-tick contact joints in the physics world's contact
// group for tyres and collision spheres on the terrain, sphere pairs between collision shapes,
// and a tyre against a shape.
#pragma once

#include <ode/ode.h>

#include "bike/geometry.h"
#include "bike/shape.h"

struct terrain_field;
struct tile_kind;

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

// The wheel body's position and its axle in the world: false when either is not finite.
bool wheel_world_frame(const wheel_contact &wheel, vec3 *centre, vec3 *axle);

// The joint's surface: approximate friction mu, soft ERP and CFM from the spring rate kp and
// damping kd over one tick. 0 (nothing to make) when h kp + kd is not positive.
int contact_surface(dContact *c, float kp, float kd, float mu);
// Writes the contact's position, normal and depth.
void contact_set_geometry(dContact *c, vec3 point, vec3 normal, float depth);
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

// ---- The terrain ----------------------------------------------------------------------------
// The searches test the two triangles of every grid cell within reach of the centre (beyond the
// grid the edge heights continue flat), but never more than CONTACT_SEARCH_SIDE_MAX cells a
// side: a longer reach searches only that many cells around the centre's own (at the terrain's
// smallest spacing, 8 ft each way; far more than any tyre or collision sphere needs). A centre,
// body or reach that is not finite, or a field without heights, finds nothing and calls nothing.

// The first tyre contact found, from the middle of the cells outward, against the triangles'
// faces only: 1 and the outputs, or 0 with the outputs untouched. The per-tick wheel query.
int collide_wheel_terrain(const terrain_field *terrain, const wheel_contact &wheel, vec3 *point,
                          vec3 *normal, float *depth);
// The deepest tyre contact over all the cells, edges and vertices included: 1 when its depth
// is above 0, else 0 with the outputs untouched.
int collide_wheel_terrain_joint(const terrain_field *terrain, const wheel_contact &wheel,
                                vec3 *point, vec3 *normal, float *depth);
// Tests set this to have collide_wheel_terrain_joint run the whole tyre test on every triangle,
// skipping none, as the reference its faster search must match.
extern bool contact_search_exhaustive;
// The deepest contact of a sphere (radius >= 0): as collide_wheel_terrain_joint.
int collide_sphere_terrain(const terrain_field *terrain, vec3 centre, float radius, vec3 *point,
                           vec3 *normal, float *depth);
// The wheel's ground contact for this tick: the deepest search stored in the record (point,
// velocity, normal, depth), the ground joint with the feedback registered in the record, and
// the rolling resistance on the wheel body. friction_scale multiplies the ground's friction.
// 1 when the joint was made; 0 with contact_depth 0 when the tyre touches nothing.
int contact_wheel_ground(const terrain_field *terrain, wheel_contact *wheel, float friction_scale);
// The ground joint's contact for the contact the record holds: friction from the tile kind
// under the point at the slip speed of its slip function, times friction_scale; the tyre's
// spring and damper by compression; the first friction direction across the sliding, or
// across the axle when the tyre hardly slides. 1, or 0 when there is nothing to make.
int contact_wheel_surface(dContact *c, const terrain_field *terrain, const wheel_contact &wheel,
                          float friction_scale);
// The tile kind under a world point (kind 0 without a tile map).
const tile_kind &contact_tile_kind(const terrain_field *terrain, vec3 point);
// A sphere on the terrain: 1 when it touches; the joint (mu, the terrain sphere's spring and
// damper) is made only when a body is given.
int contact_sphere_terrain(const terrain_field *terrain, vec3 centre, float radius, float mu,
                           dBodyID body);
// As contact_sphere_terrain, with mu along the first friction direction normal x direction and
// mu2 across it; a direction along the normal gives the plain contact.
int contact_sphere_terrain_body(const terrain_field *terrain, vec3 centre, float radius,
                                float mu, float mu2, vec3 direction, dBodyID body);
// Every sphere of the shape, placed first, on the terrain: 1 when any touches; a joint for each
// touching sphere (its mu) when a body is given.
int contact_shape_terrain(collision_shape *shape, dBodyID body, const shape_transform &t,
                          const terrain_field *terrain);
// A search result's normal made usable: one pointing down turns sideways (y dropped) or, when
// nearly vertical, straight up; then unit length ((0, 1, 0) for a zero normal).
void contact_clean_normal(vec3 *normal);

constexpr float CONTACT_TICK = 1.0f / 128.0f;
constexpr float CONTACT_FORCE_MAX = 1000.0f;        // penalty pair, either sign
constexpr float CONTACT_PAIR_FORCE_MAX = 2500.0f;   // spring force of a sphere pair joint
constexpr float TYRE_MU = 1.0f;                     // the tyre as a sphere against a shape
constexpr float TYRE_SPRING = 25000.0f;
constexpr float TYRE_DAMPER = 2500.0f;
constexpr float TERRAIN_SPHERE_SPRING = 2500.0f;    // a shape's sphere on the terrain
constexpr float TERRAIN_SPHERE_DAMPER = 250.0f;
constexpr float TYRE_GROUND_SPRING = 1000.0f;       // a tyre on the terrain: these plus the
constexpr float TYRE_GROUND_SPRING_FULL = 25000.0f; // cube of the compression times the rest
constexpr float TYRE_GROUND_DAMPER = 200.0f;        // up to the full values
constexpr float TYRE_GROUND_DAMPER_FULL = 2500.0f;
constexpr float CONTACT_SLIDE_MIN2 = 1.0f / 1024;   // below: friction direction across the axle
constexpr int CONTACT_SEARCH_SIDE_MAX = 64;          // cells a side one search visits at most
constexpr double CONTACT_CELL_LIMIT = 1073741824.0; // 2^30: cell bounds are clamped to +-this
