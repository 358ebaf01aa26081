// The wheels' contacts of the tick: the once-a-tick refresh and the queries, the roost the
// tyres throw, and the per-tick erosion feed of both wheels.
#pragma once

#include "bike/rider.h"

// Refreshes both wheel records once per tick (never with no_wheel_contacts set).
void bike_update_wheel_contacts(rider_slot *s);
// The velocity of the contact point without the wheel's spin about its axle.
void contact_point_velocity(const wheel_contact *w, vec3 *out);
// The queries: each refreshes first. depth: 0 when not touching; the others 1 and the value
// when touching, else 0 (and the output untouched).
float bike_front_contact_depth(rider_slot *s);
float bike_rear_contact_depth(rider_slot *s);
int bike_front_contact_position(rider_slot *s, vec3 *out);
int bike_rear_contact_position(rider_slot *s, vec3 *out);
int bike_front_contact_slip(rider_slot *s, vec3 *out);
int bike_rear_contact_slip(rider_slot *s, vec3 *out);
int bike_front_contact_velocity(rider_slot *s, vec3 *out);
int bike_rear_contact_velocity(rider_slot *s, vec3 *out);

// The roost of both wheels this tick, at most roost frequency / 100 particles per type.
void bike_emit_roost(rider_slot *s);
// The roost of one contact: at most n particles per roost type, spread at most max_spread.
void contact_emit_roost(const wheel_contact *w, int n, float max_spread);
// The roost spread of a kind-1 type for a wheel spinning at |w|^2 = spin2.
float roost_spread(const roost_type &t, float spin2);
// The tick's erosion feed of both wheels (front, then rear), and the wheel-contact log's
// callout.
void bike_tyre_debug_text(rider_slot *s);

// The wheel-contact log: on or off, and the spacing between its callouts.
extern int bike_wheel_log;
extern float bike_wheel_log_spacing;

constexpr float ROOST_SKID_SPREAD = 0.04908738657832146f;   // pi/64
constexpr float SPLASH_SLIDE_MIN = 1.0f / 64;
constexpr int ROOST_COUNT_MAX = 1024;
